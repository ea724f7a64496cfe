// Registry operations. A path is a key path, a backslash and a value name; a
// root number selects the hive (3 and any unknown number: HKEY_CURRENT_USER).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/value.h"

namespace vantoip {

enum RegistryRoot : int {
  kClassesRoot = 1, kCurrentConfig = 2, kCurrentUser = 3, kLocalMachine = 4, kUsers = 5
};

// REG_SZ as is, REG_EXPAND_SZ expanded; anything else gives the default.
std::string ReadRegistryText(int root, std::string_view path,
                             std::optional<std::string> defaultText = std::nullopt);
// REG_DWORD only; anything else gives the default.
std::int32_t ReadRegistryNumber(int root, std::string_view path,
                                std::optional<std::int32_t> defaultNumber = std::nullopt);
// Text -> REG_SZ, byte block -> REG_BINARY, any numeric kind -> REG_DWORD.
// Missing keys (and parents) are created.
bool WriteRegistryValue(int root, std::string_view path, const Value& value);
// A text value in UTF-8, read and written as UTF-16 without passing through
// GBK (REG_EXPAND_SZ expanded); none when missing or not text.
std::optional<std::string> ReadRegistryUtf8(int root, std::string_view path);
bool WriteRegistryUtf8(int root, std::string_view path, std::string_view utf8);  // REG_SZ
// The value is there, of any type.
bool RegistryValueExists(int root, std::string_view path);
// Deletes the value; failing that, the key named by the whole path.
bool DeleteRegistryItem(int root, std::string_view path);

}  // namespace vantoip
