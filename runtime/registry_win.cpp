#include "runtime/registry_win.h"

#include <windows.h>

#include <vector>

#include "runtime/convert.h"
#include "runtime/encoding_win.h"
#include "runtime/handle_win.h"
#include "runtime/registry_path.h"
#include "runtime/system_win.h"

namespace vantoip {
namespace {

HKEY RootKey(int root) {
  switch (root) {
    case kClassesRoot: return HKEY_CLASSES_ROOT;
    case kCurrentConfig: return HKEY_CURRENT_CONFIG;
    case kLocalMachine: return HKEY_LOCAL_MACHINE;
    case kUsers: return HKEY_USERS;
    default: return HKEY_CURRENT_USER;
  }
}

struct RawValue {
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
};

// The key path and the value name of a GBK registry path, as the W calls take them.
struct WidePath {
  std::wstring key;
  std::wstring value;
};

WidePath SplitWide(std::string_view path) {
  const RegistryPath p = SplitRegistryPath(path);
  return {GbkToWide(p.key), GbkToWide(p.value)};
}

// Reads a value of any size; nullopt when the key or the value is missing.
// Texts come as UTF-16, whatever the system's code page.
std::optional<RawValue> QueryValue(int root, std::string_view path) {
  const WidePath p = SplitWide(path);
  RegistryKey key;
  if (RegOpenKeyExW(RootKey(root), p.key.c_str(), 0, KEY_READ, key.Receive()) != ERROR_SUCCESS)
    return std::nullopt;
  RawValue raw;
  for (;;) {  // the value may grow between the size query and the read
    DWORD size = 0;
    if (RegQueryValueExW(key.Get(), p.value.c_str(), nullptr, &raw.type, nullptr, &size) != ERROR_SUCCESS)
      return std::nullopt;
    raw.data.resize(size);
    const LONG rc = RegQueryValueExW(key.Get(), p.value.c_str(), nullptr, &raw.type, raw.data.data(), &size);
    if (rc == ERROR_MORE_DATA) continue;
    if (rc != ERROR_SUCCESS) return std::nullopt;
    raw.data.resize(size);
    return raw;
  }
}

// A stored string up to its first zero, terminator present or not.
std::wstring StoredText(const std::vector<BYTE>& data) {
  std::wstring text(data.size() / sizeof(wchar_t), L'\0');
  memcpy(text.data(), data.data(), text.size() * sizeof(wchar_t));
  return text.substr(0, text.find(L'\0'));
}

std::wstring ExpandEnvironment(const std::wstring& text) {
  const DWORD size = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
  if (size == 0) return text;
  std::wstring out(size, L'\0');
  const DWORD written = ExpandEnvironmentStringsW(text.c_str(), out.data(), size);
  if (written == 0 || written > size) return text;
  return out.substr(0, out.find(L'\0'));
}

std::optional<std::wstring> QueryText(int root, std::string_view path) {
  const auto raw = QueryValue(root, path);
  if (raw && raw->type == REG_SZ) return StoredText(raw->data);
  if (raw && raw->type == REG_EXPAND_SZ) return ExpandEnvironment(StoredText(raw->data));
  return std::nullopt;
}

bool SetValue(int root, std::string_view path, DWORD type, const void* data, DWORD size) {
  const WidePath p = SplitWide(path);
  RegistryKey key;
  LONG rc = RegCreateKeyExW(RootKey(root), p.key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, key.Receive(), nullptr);
  if (rc != ERROR_SUCCESS) {
    NoteFailure("RegCreateKeyExW " + std::string(path), rc);
    return false;
  }
  rc = RegSetValueExW(key.Get(), p.value.c_str(), 0, type, static_cast<const BYTE*>(data), size);
  if (rc != ERROR_SUCCESS) NoteFailure("RegSetValueExW " + std::string(path), rc);
  return rc == ERROR_SUCCESS;
}

bool SetText(int root, std::string_view path, const std::wstring& text) {
  const std::wstring stored = text.substr(0, text.find(L'\0'));  // up to its first zero
  return SetValue(root, path, REG_SZ, stored.c_str(), static_cast<DWORD>((stored.size() + 1) * sizeof(wchar_t)));
}

}  // namespace

std::string ReadRegistryText(int root, std::string_view path, std::optional<std::string> defaultText) {
  const std::optional<std::wstring> text = QueryText(root, path);
  return text ? WideToGbk(*text) : defaultText.value_or(std::string());
}

std::optional<std::string> ReadRegistryUtf8(int root, std::string_view path) {
  const std::optional<std::wstring> text = QueryText(root, path);
  return text ? std::optional<std::string>(WideToUtf8(*text)) : std::nullopt;
}

bool WriteRegistryUtf8(int root, std::string_view path, std::string_view utf8) {
  return SetText(root, path, Utf8ToWide(utf8));
}

bool RegistryValueExists(int root, std::string_view path) { return QueryValue(root, path).has_value(); }

std::int32_t ReadRegistryNumber(int root, std::string_view path, std::optional<std::int32_t> defaultNumber) {
  const auto raw = QueryValue(root, path);
  if (raw && raw->type == REG_DWORD && raw->data.size() == sizeof(DWORD)) {
    std::int32_t number;
    memcpy(&number, raw->data.data(), sizeof number);
    return number;
  }
  return defaultNumber.value_or(0);
}

bool WriteRegistryValue(int root, std::string_view path, const Value& value) {
  if (const auto* text = std::get_if<std::string>(&value)) return SetText(root, path, GbkToWide(text->c_str()));
  if (const auto* bytes = std::get_if<ByteBlock>(&value))
    return SetValue(root, path, REG_BINARY, bytes->data(), static_cast<DWORD>(bytes->size()));
  const DWORD number = static_cast<DWORD>(ToInteger(value));
  return SetValue(root, path, REG_DWORD, &number, sizeof number);
}

bool DeleteRegistryItem(int root, std::string_view path) {
  const WidePath p = SplitWide(path);
  RegistryKey key;
  if (RegOpenKeyExW(RootKey(root), p.key.c_str(), 0, KEY_WRITE, key.Receive()) == ERROR_SUCCESS &&
      RegDeleteValueW(key.Get(), p.value.c_str()) == ERROR_SUCCESS)
    return true;
  return RegDeleteKeyW(RootKey(root), GbkToWide(path).c_str()) == ERROR_SUCCESS;
}

}  // namespace vantoip
