#include "runtime/automation_win.h"

#include <cstring>

#include "runtime/automation_values_win.h"
#include "runtime/encoding_win.h"

namespace vantoip {

AutomationObject::AutomationObject(IUnknown* object) : interface_(object) {
  if (object) object->AddRef();
}

AutomationVariant::AutomationVariant(AutomationVariant&& other) noexcept {
  std::memcpy(&variant_, &other.variant_, sizeof variant_);
  VariantInit(&other.variant_);
}

AutomationVariant& AutomationVariant::operator=(AutomationVariant&& other) noexcept {
  if (this != &other) {
    VariantClear(&variant_);
    std::memcpy(&variant_, &other.variant_, sizeof variant_);
    VariantInit(&other.variant_);
  }
  return *this;
}

VARIANT* AutomationVariant::Receive() {
  VariantClear(&variant_);
  std::memset(&variant_, 0, sizeof variant_);
  return &variant_;
}

namespace {

// Looks the class name up in the type library file and creates an instance of
// the type found; registers the library when the instance was made.
ComPtr<IUnknown> CreateFromTypeLibrary(std::wstring className, const std::string& typeLibraryFile) {
  std::wstring path = GbkToWide(typeLibraryFile);
  ComPtr<ITypeLib> library;
  if (FAILED(LoadTypeLib(path.c_str(), library.Receive()))) return {};
  const ULONG hash = LHashValOfNameSys(SYS_WIN32, GetUserDefaultLCID(), className.data());
  ComPtr<ITypeInfo> type;
  MEMBERID member = MEMBERID_NIL;
  USHORT found = 1;
  ComPtr<IUnknown> instance;
  if (SUCCEEDED(library->FindName(className.data(), hash, type.Receive(), &member, &found)) && found == 1 &&
      SUCCEEDED(type->CreateInstance(nullptr, IID_IUnknown, instance.ReceiveVoid())) &&
      path.find(L'\\') != std::wstring::npos) {
    RegisterTypeLib(library.Get(), path.data(), nullptr);
  }
  return instance;
}

ComPtr<IUnknown> CreateFromClassId(const std::string& classText) {
  const std::wstring wide = GbkToWide(classText);
  CLSID classId;
  const HRESULT found =
      classText.starts_with('{') ? CLSIDFromString(wide.c_str(), &classId) : CLSIDFromProgID(wide.c_str(), &classId);
  if (FAILED(found)) return {};
  constexpr DWORD kAnyServer =
      CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;
  constexpr DWORD kLocalServers = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER;
  HRESULT hr = S_OK;
  ComPtr<IUnknown> instance = CoCreate<IUnknown>(classId, kAnyServer, &hr);
  if (hr == E_INVALIDARG)  // systems without remote activation
    instance = CoCreate<IUnknown>(classId, kLocalServers);
  return instance;
}

}  // namespace

bool CreateObject(AutomationObject& object, const std::string& classText, const std::string& typeLibraryFile) {
  ComPtr<IUnknown> instance;
  if (!classText.starts_with('{') && !typeLibraryFile.empty())
    instance = CreateFromTypeLibrary(GbkToWide(classText), typeLibraryFile);
  if (!instance) instance = CreateFromClassId(classText);
  if (!instance || FAILED(OleRun(instance.Get()))) return false;
  object = AutomationObject(std::move(instance));
  return true;
}

void ReleaseObject(AutomationObject& object) { object = AutomationObject(); }

bool IsObjectEmpty(const AutomationObject& object) { return object.Interface() == nullptr; }

AutomationObject CopyObject(const AutomationObject& source) { return AutomationObject(source.Interface()); }

std::string VariantToText(const AutomationVariant& variant) {
  std::string text;
  FromVariant(variant.Get(), text);
  return text;
}

void ClearVariant(AutomationVariant& variant) { variant.Receive(); }

}  // namespace vantoip
