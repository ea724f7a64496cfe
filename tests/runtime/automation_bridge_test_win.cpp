#include <gtest/gtest.h>
#include <windows.h>

#include <thread>

#include "runtime/automation_win.h"
#include "tests/support/test_dispatch_win.h"

namespace vantoip {
namespace {

using test::TestDispatch;
void FreeSystemString(BSTR text) { SysFreeString(text); }
using SystemString = UniqueHandle<NullIsInvalid<BSTR, &FreeSystemString>>;

constexpr wchar_t kRegExpClassId[] = L"{3F4DACA4-160D-11D2-A8E9-00104B365C9F}";

class AutomationBridge : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr))); }
  void TearDown() override { CoUninitialize(); }
};

TEST_F(AutomationBridge, FailedBindingsGiveTheirStatusAndTheEmptyValue) {
  AutomationObject object;
  TestDispatch* dispatch = TestDispatch::Make(object);
  EXPECT_FALSE(WriteProperty(object, "Missing", {1}));
  EXPECT_EQ(LastCallStatus(), kNameNotBound);
  EXPECT_EQ(ReadTextProperty(object, "Missing"), "");
  EXPECT_EQ(LastCallStatus(), kNameNotBound);
  EXPECT_TRUE(dispatch->Calls().empty());

  const AutomationObject empty;
  EXPECT_EQ(ReadTextProperty(empty, "Name"), "");
  EXPECT_EQ(LastCallStatus(), kObjectEmpty);
  EXPECT_EQ(ReadNumberProperty(empty, "Name"), 0.0);
  EXPECT_EQ(LastCallStatus(), kObjectEmpty);
  EXPECT_TRUE(IsObjectEmpty(ReadObjectProperty(empty, "Name")));
  EXPECT_EQ(V_VT(&ReadVariantProperty(empty, "Name").Get()), VT_EMPTY);
  EXPECT_FALSE(WriteProperty(empty, "Name", {"x"}));

  ComPtr<IStream> stream;  // an object without IDispatch
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.Receive()), S_OK);
  EXPECT_EQ(ReadTextProperty(AutomationObject(stream.Get()), "Name"), "");
  EXPECT_EQ(LastCallStatus(), kNoDispatch);
}

TEST_F(AutomationBridge, ArgumentCountsAndOmittedArguments) {
  AutomationObject object;
  TestDispatch* dispatch = TestDispatch::Make(object);
  EXPECT_EQ(CallByName<std::int32_t>(object, "Three", InvocationKind::Method, {1, 2, 3, 4}), 0);
  EXPECT_EQ(LastCallStatus(), kTooManyArguments);
  EXPECT_TRUE(dispatch->Calls().empty());

  // A declared variable argument list takes the surplus.
  EXPECT_EQ(CallByName<std::int32_t>(object, "Sum", InvocationKind::Method, {1, 2, 3, 4, 5}), 15);
  EXPECT_EQ(LastCallStatus(), kCallSucceeded);

  EXPECT_EQ(CallByName<std::int32_t>(object, "Three", InvocationKind::Method, {1, kOmitted, 3}), 3);
  const TestDispatch::Call& middle = dispatch->LastCall();
  EXPECT_EQ(middle.types, (std::vector<VARTYPE>{VT_I4, VT_ERROR, VT_I4}));
  EXPECT_EQ(V_ERROR(&middle.values[1].Get()), DISP_E_PARAMNOTFOUND);

  // Omitted arguments at the end are not passed; neither count against the declaration.
  const AutomationVariant nothing;
  EXPECT_EQ(CallByName<std::int32_t>(object, "Three", InvocationKind::Method, {1, kOmitted, kOmitted, kOmitted}), 1);
  EXPECT_EQ(CallByName<std::int32_t>(object, "Three", InvocationKind::Method, {nothing, 2}), 2);
  EXPECT_EQ(dispatch->LastCall().types[0], VT_ERROR);  // a value that is VT_EMPTY goes as "not given"
}

TEST_F(AutomationBridge, WritesPassTheValueAsTheNamedPutArgument) {
  AutomationObject object;
  TestDispatch* dispatch = TestDispatch::Make(object);
  EXPECT_TRUE(WriteProperty(object, "Name", {"代理 list"}));
  EXPECT_EQ(dispatch->LastCall().flags, DISPATCH_PROPERTYPUT);
  EXPECT_EQ(dispatch->LastCall().named, std::vector<DISPID>{DISPID_PROPERTYPUT});
  EXPECT_EQ(dispatch->name, L"\u4EE3\u7406 list");  // GBK text arrives as the right UTF-16
  EXPECT_EQ(ReadTextProperty(object, "Name"), "代理 list");

  // A logical variable passed by reference is read through the reference.
  bool on = true;
  EXPECT_TRUE(WriteProperty(object, "Flag", {&on}));
  EXPECT_EQ(dispatch->LastCall().types, std::vector<VARTYPE>{VT_BOOL});
  EXPECT_EQ(V_BOOL(&dispatch->LastCall().values[0].Get()), VARIANT_TRUE);
  EXPECT_EQ(ReadTextProperty(object, "Flag"), "-1");
  on = false;
  EXPECT_TRUE(WriteProperty(object, "Flag", {&on}));
  EXPECT_EQ(V_BOOL(&dispatch->LastCall().values[0].Get()), VARIANT_FALSE);
  EXPECT_EQ(ReadTextProperty(object, "Flag"), "0");

  // An object-typed variable is written by reference, with the object as IDispatch.
  AutomationObject child;
  TestDispatch::Make(child);
  EXPECT_TRUE(WriteProperty(object, "Child", {child}));
  EXPECT_EQ(dispatch->LastCall().flags, DISPATCH_PROPERTYPUTREF);
  EXPECT_EQ(dispatch->LastCall().types, std::vector<VARTYPE>{VT_DISPATCH});
}

TEST_F(AutomationBridge, OutputParametersAreWrittenBackToTheCallersVariables) {
  AutomationObject object;
  TestDispatch* dispatch = TestDispatch::Make(object);
  double number = 7.75;  // converted to the declared long for the call
  std::string text = "before";
  bool flag = true;
  CallByName<void>(object, "Output", InvocationKind::Method, {&number, &text, &flag});
  EXPECT_EQ(LastCallStatus(), kCallSucceeded);
  EXPECT_EQ(dispatch->LastCall().types,
            (std::vector<VARTYPE>{VT_BYREF | VT_I4, VT_BYREF | VT_VARIANT, VT_BYREF | VT_BOOL}));
  EXPECT_EQ(V_I4(&dispatch->LastCall().values[0].Get()), 8);
  EXPECT_EQ(V_BOOL(&dispatch->LastCall().values[2].Get()), VARIANT_TRUE);
  EXPECT_EQ(number, 42.0);
  EXPECT_EQ(text, "written");
  EXPECT_TRUE(flag);  // changed by the member, but not an output parameter

  // Values (not variables) travel the same way; there is nothing to write back.
  CallByName<void>(object, "Output", InvocationKind::Method, {1, "x", false});
  EXPECT_EQ(dispatch->LastCall().types,
            (std::vector<VARTYPE>{VT_BYREF | VT_I4, VT_BYREF | VT_VARIANT, VT_BYREF | VT_BOOL}));
}

TEST_F(AutomationBridge, InvokeFailuresAndUnpassableValuesMapToStatusCodes) {
  AutomationObject object;
  TestDispatch* dispatch = TestDispatch::Make(object);
  const std::pair<HRESULT, std::int32_t> cases[] = {{DISP_E_BADPARAMCOUNT, -9},     {DISP_E_BADVARTYPE, -10},
                                                    {DISP_E_EXCEPTION, -11},        {DISP_E_MEMBERNOTFOUND, -12},
                                                    {DISP_E_NONAMEDARGS, -13},      {DISP_E_OVERFLOW, -14},
                                                    {DISP_E_PARAMNOTFOUND, -15},    {DISP_E_TYPEMISMATCH, -16},
                                                    {DISP_E_PARAMNOTOPTIONAL, -17}, {E_FAIL, -18}};
  for (const auto& [hr, status] : cases) {
    EXPECT_EQ(CallTextMethod(object, "Fail", {static_cast<std::int32_t>(hr)}), "");
    EXPECT_EQ(LastCallStatus(), status) << std::hex << hr;
  }

  const std::size_t calls = dispatch->Calls().size();
  EXPECT_EQ(CallByName<std::int32_t>(object, "Sum", InvocationKind::Method, {1, ByteBlock{1, 2}}), 0);
  EXPECT_EQ(LastCallStatus(), kArgumentKindNotPassable);
  EXPECT_EQ(dispatch->Calls().size(), calls);  // no call was made

  EXPECT_TRUE(WriteProperty(object, "Name", {"not a number"}));
  EXPECT_EQ(ReadNumberProperty(object, "Name"), 0.0);
  EXPECT_EQ(LastCallStatus(), kResultNotConvertible);
}

TEST_F(AutomationBridge, ObjectsArePassedAsTheParameterDeclaresThem) {
  AutomationObject object, first, second;
  TestDispatch* dispatch = TestDispatch::Make(object);
  TestDispatch::Make(first);
  TestDispatch::Make(second);
  CallByName<void>(object, "Take", InvocationKind::Method, {first, second});
  EXPECT_EQ(dispatch->LastCall().types, (std::vector<VARTYPE>{VT_DISPATCH, VT_UNKNOWN}));
}

TEST_F(AutomationBridge, ObjectsWithoutTypeInformationAreCalledByDispatchId) {
  AutomationObject object;
  TestDispatch* dispatch = TestDispatch::Make(object, false);
  EXPECT_EQ(ReadTextProperty(object, "Name"), "test");
  EXPECT_EQ(LastCallStatus(), kCallSucceeded);
  EXPECT_EQ(dispatch->LastCall().flags, DISPATCH_PROPERTYGET);
  EXPECT_TRUE(WriteProperty(object, "name", {"新"}));
  EXPECT_EQ(dispatch->LastCall().flags, DISPATCH_PROPERTYPUT);
  EXPECT_EQ(dispatch->LastCall().named, std::vector<DISPID>{DISPID_PROPERTYPUT});
  EXPECT_EQ(dispatch->name, L"\u65B0");
  EXPECT_EQ(CallByName<std::int32_t>(object, "Sum", InvocationKind::Method, {1, kOmitted, 2, kOmitted}), 3);
  EXPECT_EQ(dispatch->LastCall().flags, DISPATCH_METHOD | DISPATCH_PROPERTYGET);
  EXPECT_EQ(dispatch->LastCall().types, (std::vector<VARTYPE>{VT_I4, VT_ERROR, VT_I4}));

  const std::size_t calls = dispatch->Calls().size();
  EXPECT_FALSE(WriteProperty(object, "Missing", {1}));
  EXPECT_EQ(LastCallStatus(), kNoTypeInformation);
  EXPECT_EQ(dispatch->Calls().size(), calls);
}

TEST_F(AutomationBridge, ScriptingRegExpIsBoundThroughItsTypeInformation) {
  AutomationObject regexp;
  ASSERT_TRUE(CreateObject(regexp, "VBScript.RegExp"));
  EXPECT_FALSE(WriteProperty(regexp, "Singleline", {true}));
  EXPECT_EQ(LastCallStatus(), kNameNotBound);
  EXPECT_EQ(ReadTextProperty(regexp, "IgnoreCase"), "0");
  EXPECT_TRUE(WriteProperty(regexp, "Pattern", {"b+"}));
  EXPECT_EQ(ReadTextProperty(regexp, "Pattern"), "b+");

  // The match list has no type information of its own.
  const AutomationObject matches = CallObjectMethod(regexp, "Execute", {"abbc"});
  ASSERT_FALSE(IsObjectEmpty(matches));
  EXPECT_EQ(ReadNumberProperty(matches, "Count"), 1.0);
  const AutomationObject match = ReadObjectProperty(matches, "Item", {0});
  EXPECT_EQ(ReadTextProperty(match, "Value"), "bb");
  EXPECT_TRUE(IsObjectEmpty(ReadObjectProperty(matches, "Item", {1})));
  EXPECT_EQ(LastCallStatus(), kMemberRaisedError);
}

TEST_F(AutomationBridge, CreateObjectKeepsTheVariableOnFailureAndCopiesShareTheObject) {
  AutomationObject object;
  ASSERT_TRUE(CreateObject(object, "VBScript.RegExp"));
  IUnknown* const held = object.Interface();
  EXPECT_FALSE(CreateObject(object, "Vantoip.NoSuchClass"));
  EXPECT_FALSE(CreateObject(object, "{00000000-0000-0000-0000-00000000BAD0}"));
  EXPECT_EQ(object.Interface(), held);

  const AutomationObject copy = CopyObject(object);
  EXPECT_EQ(copy.Interface(), held);
  ReleaseObject(object);
  EXPECT_TRUE(IsObjectEmpty(object));
  EXPECT_TRUE(WriteProperty(copy, "Pattern", {"x"}));  // the copy's own reference keeps it alive
}

// A type library file with two classes whose instances are RegExp objects:
// one named like a ProgID, one named like a class id that is not registered.
std::wstring WriteTypeLibrary(const GUID& libraryId) {
  wchar_t folder[MAX_PATH];
  GetTempPathW(MAX_PATH, folder);
  std::wstring path = std::wstring(folder) + L"vantoip_automation_test.tlb";
  ComPtr<ICreateTypeLib2> library;
  EXPECT_EQ(CreateTypeLib2(SYS_WIN32, path.data(), library.Receive()), S_OK);
  library->SetGuid(libraryId);
  library->SetName(const_cast<LPOLESTR>(L"VantoipAutomationTest"));
  library->SetVersion(1, 0);
  CLSID regexp;
  CLSIDFromString(kRegExpClassId, &regexp);
  const wchar_t* names[] = {L"VantoipTestRegExp", L"{6B1D2A40-2F4E-4A5C-9E61-0D5A37C4E111}"};
  for (const wchar_t* name : names) {
    ComPtr<ICreateTypeInfo> type;
    library->CreateTypeInfo(const_cast<LPOLESTR>(name), TKIND_COCLASS, type.Receive());
    type->SetGuid(regexp);
    type->SetTypeFlags(TYPEFLAG_FCANCREATE);
    type->LayOut();
  }
  EXPECT_EQ(library->SaveAllChanges(), S_OK);
  return path;
}

TEST_F(AutomationBridge, ClassNamesAreLookedUpInATypeLibraryUnlessTheyAreClassIds) {
  const GUID libraryId = {0x5d6c1e2a, 0x7b3f, 0x4c1d, {0x9a, 0x2e, 0x41, 0x0b, 0x6c, 0x77, 0x12, 0x03}};
  const std::wstring path = WriteTypeLibrary(libraryId);
  std::string gbkPath(path.begin(), path.end());  // the temporary folder is ASCII here
  AutomationObject object;

  EXPECT_FALSE(CreateObject(object, "VantoipTestRegExp"));  // not a ProgID
  ASSERT_TRUE(CreateObject(object, "VantoipTestRegExp", gbkPath));
  EXPECT_TRUE(WriteProperty(object, "Pattern", {"x"}));
  SystemString registered;
  EXPECT_EQ(QueryPathOfRegTypeLib(libraryId, 1, 0, LOCALE_NEUTRAL, registered.Receive()), S_OK);  // registered on success
  UnRegisterTypeLib(libraryId, 1, 0, LOCALE_NEUTRAL, SYS_WIN32);

  // A class text in braces goes straight to the class id, never to the library,
  // although the library has a class of that name.
  ComPtr<ITypeLib> loaded;
  ASSERT_EQ(LoadTypeLib(path.c_str(), loaded.Receive()), S_OK);
  std::wstring bracedName = L"{6B1D2A40-2F4E-4A5C-9E61-0D5A37C4E111}";
  ComPtr<ITypeInfo> found;
  MEMBERID member;
  USHORT count = 1;
  ASSERT_EQ(loaded->FindName(bracedName.data(), 0, found.Receive(), &member, &count), S_OK);
  EXPECT_EQ(count, 1);
  EXPECT_FALSE(CreateObject(object, "{6B1D2A40-2F4E-4A5C-9E61-0D5A37C4E111}", gbkPath));
  std::string regexpId(std::begin(kRegExpClassId), std::end(kRegExpClassId) - 1);
  AutomationObject byId;
  EXPECT_TRUE(CreateObject(byId, regexpId, gbkPath));
  DeleteFileW(path.c_str());
}

TEST(AutomationStatus, LastCallStatusIsKeptPerThread) {
  const AutomationObject empty;
  ReadTextProperty(empty, "Name");
  ASSERT_EQ(LastCallStatus(), kObjectEmpty);
  std::int32_t before = 1, after = 1;
  std::thread([&] {
    CoInitialize(nullptr);
    before = LastCallStatus();
    {
      AutomationObject object;
      TestDispatch::Make(object);
      ReadTextProperty(object, "Missing");
      after = LastCallStatus();
    }
    CoUninitialize();
  }).join();
  EXPECT_EQ(before, kCallSucceeded);
  EXPECT_EQ(after, kNameNotBound);
  EXPECT_EQ(LastCallStatus(), kObjectEmpty);
}

}  // namespace
}  // namespace vantoip
