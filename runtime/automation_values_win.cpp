#include "runtime/automation_values_win.h"

#include "runtime/encoding_win.h"

namespace vantoip {
namespace {

// How an object is passed: as IUnknown when so declared, otherwise as its
// IDispatch; an object without IDispatch goes as IUnknown unless IDispatch is
// declared, in which case nothing (a null IDispatch) is passed.
void SetObject(VARIANT& out, IUnknown* object, VARTYPE declared) {
  IDispatch* dispatch = nullptr;
  if (declared != VT_UNKNOWN && object) object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch));
  if (declared == VT_UNKNOWN || (!dispatch && declared != VT_DISPATCH && object)) {
    V_VT(&out) = VT_UNKNOWN;
    V_UNKNOWN(&out) = object;
    if (object) object->AddRef();
    return;
  }
  V_VT(&out) = VT_DISPATCH;
  V_DISPATCH(&out) = dispatch;
}

struct ToVariantVisitor {
  VARIANT& out;
  VARTYPE declared;

  bool operator()(bool v) const {
    V_VT(&out) = VT_BOOL;
    V_BOOL(&out) = v ? VARIANT_TRUE : VARIANT_FALSE;
    return true;
  }
  bool operator()(DateTime v) const {
    V_VT(&out) = VT_DATE;
    V_DATE(&out) = v.days;
    return true;
  }
  bool operator()(const std::string& v) const {
    V_VT(&out) = VT_BSTR;
    V_BSTR(&out) = nullptr;  // the empty text is the null text
    if (!v.empty()) {
      const std::wstring wide = GbkToWide(v);
      V_BSTR(&out) = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    }
    return true;
  }
  bool operator()(std::uint8_t v) const {
    V_VT(&out) = VT_UI1;
    V_UI1(&out) = v;
    return true;
  }
  bool operator()(std::int16_t v) const {
    V_VT(&out) = VT_I2;
    V_I2(&out) = v;
    return true;
  }
  bool operator()(std::int32_t v) const {
    V_VT(&out) = VT_I4;
    V_I4(&out) = v;
    return true;
  }
  bool operator()(std::int64_t v) const { return (*this)(static_cast<std::int32_t>(v)); }  // the low 32 bits
  bool operator()(float v) const {
    V_VT(&out) = VT_R4;
    V_R4(&out) = v;
    return true;
  }
  bool operator()(double v) const {
    V_VT(&out) = VT_R8;
    V_R8(&out) = v;
    return true;
  }
  bool operator()(const ByteBlock&) const { return false; }
  bool operator()(SubroutinePointer) const { return false; }
  bool operator()(const AutomationObject& v) const {
    SetObject(out, v.Interface(), declared);
    return true;
  }
  bool operator()(const AutomationVariant& v) const {
    return SUCCEEDED(VariantCopyInd(&out, const_cast<VARIANT*>(&v.Get())));
  }

  bool operator()(Omitted) const { return true; }  // stays VT_EMPTY
  bool operator()(const Value& v) const { return std::visit(*this, v); }
  bool operator()(const AutomationObject* v) const { return (*this)(*v); }
  bool operator()(const AutomationVariant* v) const { return (*this)(*v); }
  bool operator()(const AutomationArgument::Variable& v) const {
    return std::visit([this](auto* variable) { return (*this)(*variable); }, v);
  }
};

// Copies `source` with references followed, changes the copy to `type` and
// hands it to `take`.
template <class Take>
bool Convert(const VARIANT& source, VARTYPE type, Take take) {
  if (V_VT(&source) == VT_RECORD) return false;
  AutomationVariant copy;
  VARIANT* v = copy.Receive();
  if (FAILED(VariantCopyInd(v, const_cast<VARIANT*>(&source)))) return false;
  if (FAILED(VariantChangeType(v, v, 0, type))) return false;
  take(*v);
  return true;
}

}  // namespace

bool ToVariant(const AutomationArgument& argument, VARTYPE declared, VARIANT& out) {
  VariantInit(&out);
  return std::visit(ToVariantVisitor{out, declared}, argument.Get());
}

bool FromVariant(const VARIANT& source, bool& target) {
  return Convert(source, VT_BOOL, [&](const VARIANT& v) { target = V_BOOL(&v) != 0; });
}
bool FromVariant(const VARIANT& source, DateTime& target) {
  return Convert(source, VT_DATE, [&](const VARIANT& v) { target = {V_DATE(&v)}; });
}
bool FromVariant(const VARIANT& source, std::string& target) {
  return Convert(source, VT_BSTR, [&](const VARIANT& v) {
    target = WideToGbk(std::wstring_view(V_BSTR(&v), SysStringLen(V_BSTR(&v))));
  });
}
bool FromVariant(const VARIANT& source, std::uint8_t& target) {
  return Convert(source, VT_UI1, [&](const VARIANT& v) { target = V_UI1(&v); });
}
bool FromVariant(const VARIANT& source, std::int16_t& target) {
  return Convert(source, VT_I2, [&](const VARIANT& v) { target = V_I2(&v); });
}
bool FromVariant(const VARIANT& source, std::int32_t& target) {
  return Convert(source, VT_I4, [&](const VARIANT& v) { target = V_I4(&v); });
}
bool FromVariant(const VARIANT& source, std::int64_t& target) {
  return Convert(source, VT_I4, [&](const VARIANT& v) { target = V_I4(&v); });
}
bool FromVariant(const VARIANT& source, float& target) {
  return Convert(source, VT_R4, [&](const VARIANT& v) { target = V_R4(&v); });
}
bool FromVariant(const VARIANT& source, double& target) {
  return Convert(source, VT_R8, [&](const VARIANT& v) { target = V_R8(&v); });
}
bool FromVariant(const VARIANT& source, AutomationObject& target) {
  return Convert(source, VT_UNKNOWN, [&](const VARIANT& v) { target = AutomationObject(V_UNKNOWN(&v)); });
}
bool FromVariant(const VARIANT& source, AutomationVariant& target) {
  if (V_VT(&source) == VT_RECORD) return false;
  return SUCCEEDED(VariantCopyInd(target.Receive(), const_cast<VARIANT*>(&source)));
}

}  // namespace vantoip
