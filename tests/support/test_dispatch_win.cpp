#include "tests/support/test_dispatch_win.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>

namespace vantoip::test {
namespace {

ELEMDESC Parameter(VARTYPE type, USHORT flags = PARAMFLAG_FIN) {
  ELEMDESC e{};
  e.tdesc.vt = type;
  e.paramdesc.wParamFlags = flags;
  return e;
}

// A parameter declared as a pointer to `pointee` (by reference).
ELEMDESC Pointer(TYPEDESC* pointee, USHORT flags) {
  ELEMDESC e = Parameter(VT_PTR, flags);
  e.tdesc.lptdesc = pointee;
  return e;
}

void AddFunction(ICreateTypeInfo* type, UINT index, DISPID id, INVOKEKIND kind, VARTYPE result,
                 std::vector<ELEMDESC> parameters, std::vector<const wchar_t*> names, short optional = 0) {
  FUNCDESC f{};
  f.memid = id;
  f.funckind = FUNC_DISPATCH;
  f.invkind = kind;
  f.callconv = CC_STDCALL;
  f.cParams = static_cast<short>(parameters.size());
  f.cParamsOpt = optional;
  f.lprgelemdescParam = parameters.empty() ? nullptr : parameters.data();
  f.elemdescFunc.tdesc.vt = result;
  EXPECT_EQ(type->AddFuncDesc(index, &f), S_OK) << index;
  EXPECT_EQ(type->SetFuncAndParamNames(index, const_cast<LPOLESTR*>(names.data()), static_cast<UINT>(names.size())),
            S_OK)
      << index;
}

void AddVariable(ICreateTypeInfo* type, UINT index, DISPID id, VARTYPE vt, const wchar_t* name) {
  VARDESC v{};
  v.memid = id;
  v.varkind = VAR_DISPATCH;
  v.elemdescVar.tdesc.vt = vt;
  EXPECT_EQ(type->AddVarDesc(index, &v), S_OK) << index;
  EXPECT_EQ(type->SetVarName(index, const_cast<LPOLESTR>(name)), S_OK) << index;
}

struct NamedMember {
  const wchar_t* name;
  DISPID id;
};
constexpr NamedMember kMembers[] = {{L"Name", kNameMember}, {L"Flag", kFlagMember},   {L"Child", kChildMember},
                                    {L"Fail", kFailMember}, {L"Three", kThreeMember}, {L"Output", kOutputMember},
                                    {L"Sum", kSumMember},   {L"Take", kTakeMember}};

VARIANT& Argument(DISPPARAMS* parameters, UINT i) { return parameters->rgvarg[parameters->cArgs - 1 - i]; }

}  // namespace

ComPtr<ITypeInfo> MakeTestTypeInfo() {
  static TYPEDESC longType{{nullptr}, VT_I4};
  static TYPEDESC variantType{{nullptr}, VT_VARIANT};
  static TYPEDESC boolType{{nullptr}, VT_BOOL};
  ComPtr<ICreateTypeLib2> library;
  CreateTypeLib2(SYS_WIN32, const_cast<LPOLESTR>(L"vantoip_test_object.tlb"), library.Receive());
  ComPtr<ICreateTypeInfo> type;
  library->CreateTypeInfo(const_cast<LPOLESTR>(L"ITestObject"), TKIND_DISPATCH, type.Receive());
  ICreateTypeInfo* t = type.Get();
  AddFunction(t, 0, kNameMember, INVOKE_PROPERTYGET, VT_BSTR, {}, {L"Name"});
  AddFunction(t, 1, kNameMember, INVOKE_PROPERTYPUT, VT_VOID, {Parameter(VT_BSTR)},
              {L"Name"});  // a put names no value parameter
  AddFunction(t, 2, kFailMember, INVOKE_FUNC, VT_VOID, {Parameter(VT_I4)}, {L"Fail", L"hresult"});
  AddFunction(t, 3, kThreeMember, INVOKE_FUNC, VT_I4,
              {Parameter(VT_VARIANT), Parameter(VT_VARIANT, PARAMFLAG_FIN | PARAMFLAG_FOPT),
               Parameter(VT_VARIANT, PARAMFLAG_FIN | PARAMFLAG_FOPT)},
              {L"Three", L"a", L"b", L"c"}, 2);
  AddFunction(t, 4, kOutputMember, INVOKE_FUNC, VT_VOID,
              {Pointer(&longType, PARAMFLAG_FOUT), Pointer(&variantType, PARAMFLAG_FIN | PARAMFLAG_FOUT),
               Pointer(&boolType, PARAMFLAG_FIN)},
              {L"Output", L"number", L"value", L"flag"});
  ELEMDESC rest = Parameter(VT_SAFEARRAY);
  rest.tdesc.lptdesc = &variantType;
  AddFunction(t, 5, kSumMember, INVOKE_FUNC, VT_I4, {rest}, {L"Sum", L"values"}, -1);
  AddFunction(t, 6, kTakeMember, INVOKE_FUNC, VT_VOID, {Parameter(VT_DISPATCH), Parameter(VT_UNKNOWN)},
              {L"Take", L"dispatch", L"unknown"});
  AddVariable(t, 0, kFlagMember, VT_BOOL, L"Flag");
  AddVariable(t, 1, kChildMember, VT_DISPATCH, L"Child");
  EXPECT_EQ(t->LayOut(), S_OK);
  ComPtr<ITypeInfo> info;
  t->QueryInterface(IID_ITypeInfo, reinterpret_cast<void**>(info.Receive()));
  return info;
}

TestDispatch* TestDispatch::Make(AutomationObject& object, bool withTypeInformation) {
  auto* made = new TestDispatch(withTypeInformation ? MakeTestTypeInfo().Release() : nullptr);
  object = AutomationObject(static_cast<IDispatch*>(made));
  made->Release();  // the holder keeps the only reference
  return made;
}

HRESULT TestDispatch::QueryInterface(REFIID riid, void** out) {
  if (riid != IID_IUnknown && riid != IID_IDispatch) {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  *out = static_cast<IDispatch*>(this);
  AddRef();
  return S_OK;
}

ULONG TestDispatch::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

HRESULT TestDispatch::GetTypeInfoCount(UINT* count) {
  *count = typeInfo_ ? 1 : 0;
  return S_OK;
}

HRESULT TestDispatch::GetTypeInfo(UINT, LCID, ITypeInfo** out) {
  *out = typeInfo_.Get();
  if (!*out) return E_NOTIMPL;
  (*out)->AddRef();
  return S_OK;
}

HRESULT TestDispatch::GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* ids) {
  const auto found = std::find_if(std::begin(kMembers), std::end(kMembers),
                                  [&](const NamedMember& m) { return _wcsicmp(m.name, names[0]) == 0; });
  if (found == std::end(kMembers)) return DISP_E_UNKNOWNNAME;
  *ids = found->id;
  return S_OK;
}

HRESULT TestDispatch::Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS* parameters, VARIANT* result,
                             EXCEPINFO*, UINT*) {
  Call& call = calls_.emplace_back();
  call.member = member;
  call.flags = flags;
  call.named.assign(parameters->rgdispidNamedArgs, parameters->rgdispidNamedArgs + parameters->cNamedArgs);
  for (UINT i = 0; i < parameters->cArgs; ++i) {
    call.types.push_back(V_VT(&Argument(parameters, i)));
    VariantCopyInd(call.values.emplace_back().Receive(), &Argument(parameters, i));
  }
  if (result) VariantInit(result);
  const bool put = flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF);
  switch (member) {
    case kNameMember:
      if (put) {
        name = V_BSTR(&parameters->rgvarg[0]) ? V_BSTR(&parameters->rgvarg[0]) : L"";
      } else if (result) {
        V_VT(result) = VT_BSTR;
        V_BSTR(result) = SysAllocString(name.c_str());
      }
      return S_OK;
    case kFlagMember:
      if (put) {
        flag = V_BOOL(&parameters->rgvarg[0]);
      } else if (result) {
        V_VT(result) = VT_BOOL;
        V_BOOL(result) = flag;
      }
      return S_OK;
    case kFailMember:
      return V_I4(&parameters->rgvarg[0]);
    case kThreeMember:
    case kSumMember: {
      LONG sum = 0;
      for (UINT i = 0; i < parameters->cArgs; ++i)
        if (V_VT(&parameters->rgvarg[i]) == VT_I4) sum += V_I4(&parameters->rgvarg[i]);
      V_VT(result) = VT_I4;
      V_I4(result) = member == kSumMember ? sum : static_cast<LONG>(parameters->cArgs);
      return S_OK;
    }
    case kOutputMember:
      if (parameters->cArgs == 3 && V_VT(&Argument(parameters, 0)) == (VT_BYREF | VT_I4) &&
          V_VT(&Argument(parameters, 1)) == (VT_BYREF | VT_VARIANT) &&
          V_VT(&Argument(parameters, 2)) == (VT_BYREF | VT_BOOL)) {
        *V_I4REF(&Argument(parameters, 0)) = 42;
        VARIANT* value = V_VARIANTREF(&Argument(parameters, 1));
        VariantClear(value);
        V_VT(value) = VT_BSTR;
        V_BSTR(value) = SysAllocString(L"written");
        *V_BOOLREF(&Argument(parameters, 2)) = VARIANT_FALSE;
      }
      return S_OK;
    default:
      return S_OK;  // Child and Take are only recorded
  }
}

}  // namespace vantoip::test
