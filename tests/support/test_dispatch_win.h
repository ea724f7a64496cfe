// An automation object made by the tests: its members are described by type
// information built in memory, and every Invoke it receives is recorded.
#pragma once

#include <string>
#include <vector>

#include "runtime/automation_win.h"

namespace vantoip::test {

// Member ids of the test object's dispinterface.
enum TestMember : DISPID {
  kNameMember = 1,    // property Name: BSTR, read and write
  kFlagMember = 2,    // variable Flag: VARIANT_BOOL
  kChildMember = 3,   // variable Child: IDispatch (written by reference)
  kFailMember = 4,    // method Fail(long hresult): returns that HRESULT from Invoke
  kThreeMember = 5,   // method Three(VARIANT a, [optional] VARIANT b, [optional] VARIANT c): long, the count received
  kOutputMember = 6,  // method Output([out] long*, [in, out] VARIANT*, [in] VARIANT_BOOL*): writes 42, "written", false
  kSumMember = 7,     // method Sum(...): long, the sum of its arguments
  kTakeMember = 8,    // method Take(IDispatch*, IUnknown*)
};

class TestDispatch : public IDispatch {
 public:
  struct Call {
    DISPID member = DISPID_UNKNOWN;
    WORD flags = 0;
    std::vector<DISPID> named;
    std::vector<VARTYPE> types;             // of the arguments, in the caller's order
    std::vector<AutomationVariant> values;  // copies, references followed
  };

  // A new object held by `object`; the returned pointer stays valid while it is held.
  // Without type information GetTypeInfo fails with E_NOTIMPL and names are
  // resolved by GetIDsOfNames only.
  static TestDispatch* Make(AutomationObject& object, bool withTypeInformation = true);

  const std::vector<Call>& Calls() const { return calls_; }
  const Call& LastCall() const { return calls_.back(); }
  std::wstring name = L"test";
  VARIANT_BOOL flag = VARIANT_FALSE;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** out) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS* parameters, VARIANT* result,
                                   EXCEPINFO*, UINT*) override;

 private:
  explicit TestDispatch(ITypeInfo* typeInfo) : typeInfo_(typeInfo) {}
  virtual ~TestDispatch() = default;

  ULONG references_ = 1;
  ComPtr<ITypeInfo> typeInfo_;
  std::vector<Call> calls_;
};

// The test object's type information, built once per call.
ComPtr<ITypeInfo> MakeTestTypeInfo();

}  // namespace vantoip::test
