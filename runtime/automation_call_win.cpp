// The one routine behind every by-name property and method call.
#include <algorithm>
#include <span>
#include <vector>

#include "runtime/automation_values_win.h"
#include "runtime/automation_win.h"
#include "runtime/encoding_win.h"

namespace vantoip {
namespace {

thread_local std::int32_t lastCallStatus = kCallSucceeded;

std::int32_t StatusOfInvoke(HRESULT hr) {
  if (SUCCEEDED(hr)) return kCallSucceeded;
  switch (hr) {
    case DISP_E_BADPARAMCOUNT:
      return kBadParamCount;
    case DISP_E_BADVARTYPE:
      return kBadVarType;
    case DISP_E_EXCEPTION:
      return kMemberRaisedError;
    case DISP_E_MEMBERNOTFOUND:
      return kMemberNotFound;
    case DISP_E_NONAMEDARGS:
      return kNoNamedArgs;
    case DISP_E_OVERFLOW:
      return kOverflow;
    case DISP_E_PARAMNOTFOUND:
      return kParamNotFound;
    case DISP_E_TYPEMISMATCH:
      return kTypeMismatchStatus;
    case DISP_E_PARAMNOTOPTIONAL:
      return kParamNotOptional;
    default:
      return kInvokeFailed;
  }
}

// A parameter's declared type: whether it is by reference, and its base type.
struct DeclaredType {
  bool byReference = false;
  VARTYPE base = VT_EMPTY;  // VT_EMPTY: nothing declared
  bool output = false;

  static DeclaredType Of(const ELEMDESC* parameter) {
    if (!parameter) return {};
    const TYPEDESC& type = parameter->tdesc;
    const bool output = (parameter->paramdesc.wParamFlags & PARAMFLAG_FOUT) != 0;
    if (type.vt == VT_PTR) return {true, type.lptdesc->vt, output};
    if (type.vt & VT_BYREF) return {true, static_cast<VARTYPE>(type.vt & ~VT_BYREF), output};
    return {false, type.vt, output};
  }
  bool IsArray() const { return base == VT_SAFEARRAY || (base & VT_ARRAY); }
};

// The member found for a name and invocation kind through the object's type
// information; owns the description that the binding returned.
class BoundMember {
 public:
  BoundMember() = default;
  BoundMember(const BoundMember&) = delete;
  BoundMember& operator=(const BoundMember&) = delete;
  ~BoundMember() {
    if (kind_ == DESCKIND_FUNCDESC) owner_->ReleaseFuncDesc(bound_.lpfuncdesc);
    if (kind_ == DESCKIND_VARDESC || kind_ == DESCKIND_IMPLICITAPPOBJ) owner_->ReleaseVarDesc(bound_.lpvardesc);
    if (kind_ == DESCKIND_TYPECOMP) ComPtr<ITypeComp>{bound_.lptcomp};  // adopted and released
  }

  // kCallSucceeded, kNameNotBound or kNoTypeInformation.
  std::int32_t Bind(IDispatch* dispatch, std::wstring& name, InvocationKind invocation, LCID locale) {
    ComPtr<ITypeComp> binder;
    {
      ComPtr<ITypeInfo> type;
      if (FAILED(dispatch->GetTypeInfo(0, locale, type.Receive())) || !type ||
          FAILED(type->GetTypeComp(binder.Receive())) || !binder)
        return kNoTypeInformation;
    }
    const ULONG hash = LHashValOfNameSys(SYS_WIN32, locale, name.data());
    for (WORD flags : FlagOrder(invocation)) {
      if (SUCCEEDED(binder->Bind(name.data(), hash, flags, owner_.Receive(), &kind_, &bound_))) break;
      kind_ = DESCKIND_NONE;
    }
    if (kind_ == DESCKIND_FUNCDESC) {
      const FUNCDESC& f = *bound_.lpfuncdesc;
      id_ = f.memid;
      flags_ = static_cast<WORD>(f.invkind);
      parameters_ = {f.lprgelemdescParam, static_cast<std::size_t>(f.cParams)};
      variableArguments_ = f.cParamsOpt == -1;
      return kCallSucceeded;
    }
    if (kind_ == DESCKIND_VARDESC) {
      const VARDESC& v = *bound_.lpvardesc;
      id_ = v.memid;
      flags_ = INVOKE_PROPERTYGET;
      if (invocation == InvocationKind::Put) {
        parameters_ = {&v.elemdescVar, 1};
        const VARTYPE type = v.elemdescVar.tdesc.vt;
        const bool byReference = type == VT_DISPATCH || type == VT_UNKNOWN || type == VT_SAFEARRAY || (type & VT_ARRAY);
        flags_ = byReference ? INVOKE_PROPERTYPUTREF : INVOKE_PROPERTYPUT;
      }
      return kCallSucceeded;
    }
    return kNameNotBound;
  }

  DISPID Id() const { return id_; }
  WORD Flags() const { return flags_; }
  bool AcceptsArguments(std::size_t count) const { return count <= parameters_.size() || variableArguments_; }
  // The description of the i-th argument; surplus variable arguments take the last one.
  const ELEMDESC* Parameter(std::size_t i) const {
    if (parameters_.empty()) return nullptr;
    return &parameters_[std::min(i, parameters_.size() - 1)];
  }

 private:
  // The invocation flags tried in turn until a binding succeeds.
  static std::span<const WORD> FlagOrder(InvocationKind invocation) {
    static constexpr WORD kGet[] = {INVOKE_PROPERTYGET, INVOKE_FUNC};
    static constexpr WORD kPut[] = {INVOKE_PROPERTYPUT, INVOKE_PROPERTYPUTREF};
    static constexpr WORD kMethod[] = {INVOKE_FUNC, INVOKE_PROPERTYGET, INVOKE_PROPERTYPUT, INVOKE_PROPERTYPUTREF};
    if (invocation == InvocationKind::Get) return kGet;
    if (invocation == InvocationKind::Put) return kPut;
    return kMethod;
  }

  ComPtr<ITypeInfo> owner_;
  DESCKIND kind_ = DESCKIND_NONE;
  BINDPTR bound_{};
  DISPID id_ = DISPID_UNKNOWN;
  WORD flags_ = 0;
  std::span<const ELEMDESC> parameters_;
  bool variableArguments_ = false;
};

// The VARIANTs of one call, last argument first, each with its by-reference holder.
class ArgumentList {
 public:
  explicit ArgumentList(std::size_t count) : arguments_(count), holders_(count) {
    for (std::size_t i = 0; i < count; ++i) {
      VariantInit(&arguments_[i]);
      VariantInit(&holders_[i]);
    }
  }
  ArgumentList(const ArgumentList&) = delete;
  ArgumentList& operator=(const ArgumentList&) = delete;
  ~ArgumentList() {
    for (std::size_t i = 0; i < arguments_.size(); ++i) {
      VariantClear(&arguments_[i]);  // a by-reference argument leaves its holder alone
      VariantClear(&holders_[i]);
    }
  }

  // Converts argument i (in the caller's order) for its parameter; false when
  // its kind cannot be passed.
  bool Set(std::size_t i, const AutomationArgument& argument, const DeclaredType& declared) {
    VARIANT& holder = holders_[Slot(i)];
    VARIANT& passed = arguments_[Slot(i)];
    if (!ToVariant(argument, declared.base, holder)) return false;
    if (V_VT(&holder) == VT_EMPTY) {  // omitted, or nothing to pass
      V_VT(&passed) = VT_ERROR;
      V_ERROR(&passed) = DISP_E_PARAMNOTFOUND;
    } else if (declared.byReference && declared.base == VT_VARIANT) {
      V_VT(&passed) = VT_BYREF | VT_VARIANT;
      V_VARIANTREF(&passed) = &holder;
    } else if (declared.byReference && declared.IsArray() && (V_VT(&holder) & VT_ARRAY)) {
      V_VT(&passed) = VT_BYREF | V_VT(&holder);
      V_ARRAYREF(&passed) = &V_ARRAY(&holder);
    } else if (declared.byReference && SUCCEEDED(VariantChangeType(&holder, &holder, 0, declared.base))) {
      V_VT(&passed) = VT_BYREF | declared.base;
      V_BYREF(&passed) = declared.base == VT_DECIMAL ? static_cast<void*>(&V_DECIMAL(&holder)) : &V_UI1(&holder);
    } else {  // by value, or a by-reference value that does not convert: passed as it is
      passed = holder;
      VariantInit(&holder);
    }
    return true;
  }

  bool WentByReference(std::size_t i) const { return (V_VT(&arguments_[Slot(i)]) & VT_BYREF) != 0; }
  // What the callee left in the holder of argument i.
  const VARIANT& Holder(std::size_t i) const { return holders_[Slot(i)]; }

  DISPPARAMS Parameters(bool put, DISPID* putId) {
    *putId = DISPID_PROPERTYPUT;
    return {arguments_.data(), put ? putId : nullptr, static_cast<UINT>(arguments_.size()), put ? 1u : 0u};
  }

 private:
  std::size_t Slot(std::size_t i) const { return arguments_.size() - 1 - i; }

  std::vector<VARIANT> arguments_;
  std::vector<VARIANT> holders_;
};

// Arguments after dropping omitted ones at the end.
std::span<const AutomationArgument> GivenArguments(AutomationArguments arguments) {
  std::span<const AutomationArgument> given(arguments.begin(), arguments.size());
  while (!given.empty() && given.back().IsOmitted()) given = given.first(given.size() - 1);
  return given;
}

std::int32_t Invoke(IDispatch* dispatch, DISPID id, LCID locale, WORD flags, ArgumentList& list, VARIANT* result) {
  DISPID putId;
  DISPPARAMS parameters = list.Parameters((flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0, &putId);
  UINT argumentError = 0;
  return StatusOfInvoke(dispatch->Invoke(id, IID_NULL, locale, flags, &parameters, result, nullptr, &argumentError));
}

// The member as the type information describes it: declared parameters,
// by-reference holders and outputs written back.
std::int32_t InvokeBound(IDispatch* dispatch, const BoundMember& member, LCID locale,
                         std::span<const AutomationArgument> given, VARIANT* result) {
  if (!member.AcceptsArguments(given.size())) return kTooManyArguments;
  ArgumentList list(given.size());
  for (std::size_t i = 0; i < given.size(); ++i)
    if (!list.Set(i, given[i], DeclaredType::Of(member.Parameter(i)))) return kArgumentKindNotPassable;
  const std::int32_t status = Invoke(dispatch, member.Id(), locale, member.Flags(), list, result);
  if (status != kCallSucceeded) return status;
  for (std::size_t i = 0; i < given.size(); ++i) {
    const auto* variable = std::get_if<AutomationArgument::Variable>(&given[i].Get());
    if (variable && list.WentByReference(i) && DeclaredType::Of(member.Parameter(i)).output)
      std::visit([&](auto* target) { FromVariant(list.Holder(i), *target); }, *variable);
  }
  return kCallSucceeded;
}

// An object that offers IDispatch without type information: the member is
// found by name and invoked with the requested kind, arguments passed by value.
std::int32_t InvokeByDispatchId(IDispatch* dispatch, std::wstring& name, InvocationKind invocation, LCID locale,
                                std::span<const AutomationArgument> given, VARIANT* result) {
  LPOLESTR names[] = {name.data()};
  DISPID id;
  if (FAILED(dispatch->GetIDsOfNames(IID_NULL, names, 1, locale, &id))) return kNoTypeInformation;
  ArgumentList list(given.size());
  for (std::size_t i = 0; i < given.size(); ++i)
    if (!list.Set(i, given[i], DeclaredType())) return kArgumentKindNotPassable;
  WORD flags = DISPATCH_METHOD | DISPATCH_PROPERTYGET;  // a method, or a property read like one
  if (invocation == InvocationKind::Get) flags = DISPATCH_PROPERTYGET;
  if (invocation == InvocationKind::Put) flags = DISPATCH_PROPERTYPUT;
  return Invoke(dispatch, id, locale, flags, list, result);
}

std::int32_t InvokeByName(const AutomationObject& object, std::string_view name, InvocationKind invocation,
                          AutomationArguments arguments, VARIANT* result) {
  std::wstring wideName = GbkToWide(name);
  if (IsObjectEmpty(object)) return kObjectEmpty;
  const ComPtr<IDispatch> dispatch = object.As<IDispatch>();
  if (!dispatch) return kNoDispatch;
  const LCID locale = GetUserDefaultLCID();
  const auto given = GivenArguments(arguments);
  BoundMember member;
  const std::int32_t bound = member.Bind(dispatch.Get(), wideName, invocation, locale);
  if (bound == kNoTypeInformation)
    return InvokeByDispatchId(dispatch.Get(), wideName, invocation, locale, given, result);
  if (bound != kCallSucceeded) return bound;
  return InvokeBound(dispatch.Get(), member, locale, given, result);
}

}  // namespace

std::int32_t LastCallStatus() { return lastCallStatus; }

template <class Result>
Result CallByName(const AutomationObject& object, std::string_view name, InvocationKind invocation,
                  AutomationArguments arguments) {
  AutomationVariant raw;
  std::int32_t status = InvokeByName(object, name, invocation, arguments, raw.Receive());
  if constexpr (std::is_void_v<Result>) {
    lastCallStatus = status;
  } else {
    Result result{};
    if (status == kCallSucceeded && !FromVariant(raw.Get(), result)) status = kResultNotConvertible;
    lastCallStatus = status;
    if (status != kCallSucceeded) return Result{};
    return result;
  }
}

template void CallByName<void>(const AutomationObject&, std::string_view, InvocationKind, AutomationArguments);
template bool CallByName<bool>(const AutomationObject&, std::string_view, InvocationKind, AutomationArguments);
template DateTime CallByName<DateTime>(const AutomationObject&, std::string_view, InvocationKind, AutomationArguments);
template std::string CallByName<std::string>(const AutomationObject&, std::string_view, InvocationKind,
                                             AutomationArguments);
template std::uint8_t CallByName<std::uint8_t>(const AutomationObject&, std::string_view, InvocationKind,
                                               AutomationArguments);
template std::int16_t CallByName<std::int16_t>(const AutomationObject&, std::string_view, InvocationKind,
                                               AutomationArguments);
template std::int32_t CallByName<std::int32_t>(const AutomationObject&, std::string_view, InvocationKind,
                                               AutomationArguments);
template std::int64_t CallByName<std::int64_t>(const AutomationObject&, std::string_view, InvocationKind,
                                               AutomationArguments);
template float CallByName<float>(const AutomationObject&, std::string_view, InvocationKind, AutomationArguments);
template double CallByName<double>(const AutomationObject&, std::string_view, InvocationKind, AutomationArguments);
template AutomationObject CallByName<AutomationObject>(const AutomationObject&, std::string_view, InvocationKind,
                                                       AutomationArguments);
template AutomationVariant CallByName<AutomationVariant>(const AutomationObject&, std::string_view, InvocationKind,
                                                         AutomationArguments);

}  // namespace vantoip
