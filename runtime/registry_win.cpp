#include "runtime/registry_win.h"

#include <windows.h>

#include <vector>

#include "runtime/convert.h"
#include "runtime/handle_win.h"
#include "runtime/registry_path.h"

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

// Reads a value of any size; nullopt when the key or the value is missing.
std::optional<RawValue> QueryValue(int root, std::string_view path) {
  const RegistryPath p = SplitRegistryPath(path);
  RegistryKey key;
  if (RegOpenKeyExA(RootKey(root), p.key.c_str(), 0, KEY_READ, key.Receive()) != ERROR_SUCCESS)
    return std::nullopt;
  RawValue raw;
  for (;;) {  // the value may grow between the size query and the read
    DWORD size = 0;
    if (RegQueryValueExA(key.Get(), p.value.c_str(), nullptr, &raw.type, nullptr, &size) != ERROR_SUCCESS)
      return std::nullopt;
    raw.data.resize(size);
    const LONG rc = RegQueryValueExA(key.Get(), p.value.c_str(), nullptr, &raw.type, raw.data.data(), &size);
    if (rc == ERROR_MORE_DATA) continue;
    if (rc != ERROR_SUCCESS) return std::nullopt;
    raw.data.resize(size);
    return raw;
  }
}

// A stored string up to its first zero, terminator present or not.
std::string StoredText(const std::vector<BYTE>& data) {
  std::string text(data.begin(), data.end());
  return text.substr(0, text.find('\0'));
}

std::string ExpandEnvironment(const std::string& text) {
  const DWORD size = ExpandEnvironmentStringsA(text.c_str(), nullptr, 0);
  if (size == 0) return text;
  std::string out(size, '\0');
  const DWORD written = ExpandEnvironmentStringsA(text.c_str(), out.data(), size);
  if (written == 0 || written > size) return text;
  return out.substr(0, out.find('\0'));
}

}  // namespace

std::string ReadRegistryText(int root, std::string_view path, std::optional<std::string> defaultText) {
  const auto raw = QueryValue(root, path);
  if (raw && raw->type == REG_SZ) return StoredText(raw->data);
  if (raw && raw->type == REG_EXPAND_SZ) return ExpandEnvironment(StoredText(raw->data));
  return defaultText.value_or(std::string());
}

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
  const RegistryPath p = SplitRegistryPath(path);
  RegistryKey key;
  if (RegCreateKeyExA(RootKey(root), p.key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, key.Receive(), nullptr) !=
      ERROR_SUCCESS)
    return false;
  LONG rc;
  if (const auto* text = std::get_if<std::string>(&value)) {
    const std::string stored = text->c_str();  // with its terminating zero, as REG_SZ expects
    rc = RegSetValueExA(key.Get(), p.value.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(stored.c_str()),
                        static_cast<DWORD>(stored.size() + 1));
  } else if (const auto* bytes = std::get_if<ByteBlock>(&value)) {
    rc = RegSetValueExA(key.Get(), p.value.c_str(), 0, REG_BINARY, bytes->data(),
                        static_cast<DWORD>(bytes->size()));
  } else {
    const DWORD number = static_cast<DWORD>(ToInteger(value));
    rc = RegSetValueExA(key.Get(), p.value.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                        sizeof number);
  }
  return rc == ERROR_SUCCESS;
}

bool DeleteRegistryItem(int root, std::string_view path) {
  const RegistryPath p = SplitRegistryPath(path);
  RegistryKey key;
  if (RegOpenKeyExA(RootKey(root), p.key.c_str(), 0, KEY_WRITE, key.Receive()) == ERROR_SUCCESS &&
      RegDeleteValueA(key.Get(), p.value.c_str()) == ERROR_SUCCESS)
    return true;
  return RegDeleteKeyA(RootKey(root), std::string(path).c_str()) == ERROR_SUCCESS;
}

}  // namespace vantoip
