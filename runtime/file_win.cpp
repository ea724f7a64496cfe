#include "runtime/file_win.h"

#include <windows.h>

#include "runtime/handle_win.h"

namespace vantoip {

constexpr std::uint32_t kKeptAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                          FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

bool FileExists(const std::wstring& path) {
  WIN32_FIND_DATAW data;
  FindHandle find(FindFirstFileW(path.c_str(), &data));
  return static_cast<bool>(find);
}

bool SetPathAttributes(const std::wstring& path, std::uint32_t attributes) {
  return SetFileAttributesW(path.c_str(), attributes & kKeptAttributes) != FALSE;
}

bool WriteBytesToFile(const std::wstring& path, std::initializer_list<std::span<const std::uint8_t>> blocks) {
  if (path.empty()) return false;
  FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  for (const auto& block : blocks) {
    std::size_t done = 0;
    while (done < block.size()) {
      DWORD written = 0;
      const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(block.size() - done, 1u << 30));
      if (!WriteFile(file.Get(), block.data() + done, chunk, &written, nullptr) || written == 0) return false;
      done += written;
    }
  }
  return true;
}

}  // namespace vantoip
