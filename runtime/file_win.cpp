#include "runtime/file_win.h"

#include <windows.h>
#include <shlobj.h>

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

std::optional<std::string> ReadSmallFile(const std::wstring& path, std::size_t maxBytes, bool* tooLarge,
                                         unsigned long* error) {
  if (tooLarge) *tooLarge = false;
  if (error) *error = ERROR_SUCCESS;
  const auto failed = [error] {
    if (error) *error = GetLastError() ? GetLastError() : ERROR_READ_FAULT;
    return std::nullopt;
  };
  FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size{};
  if (!file || !GetFileSizeEx(file.Get(), &size)) return failed();
  if (static_cast<unsigned long long>(size.QuadPart) > maxBytes) {
    if (tooLarge) *tooLarge = true;
    return std::nullopt;
  }
  std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
  DWORD total = 0, read = 0;
  while (total < bytes.size()) {
    if (!ReadFile(file.Get(), bytes.data() + total, static_cast<DWORD>(bytes.size()) - total, &read, nullptr))
      return failed();
    if (read == 0) break;  // shorter than it said: what is there
    total += read;
  }
  bytes.resize(total);
  return bytes;
}

unsigned long EnsureFolder(const std::wstring& folder) {
  const int result = SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
  return result == ERROR_ALREADY_EXISTS || result == ERROR_FILE_EXISTS ? ERROR_SUCCESS : result;
}

unsigned long ReplaceFileContents(const std::wstring& path, std::string_view bytes) {
  const std::wstring temporary = path + L".new";
  {
    FileHandle file(
        CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return GetLastError();
    DWORD written = 0;
    if (!WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size() || !FlushFileBuffers(file.Get())) {
      const DWORD error = GetLastError();
      file.Reset();
      DeleteFileW(temporary.c_str());
      return error ? error : ERROR_WRITE_FAULT;
    }
  }
  if (!MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD error = GetLastError();
    DeleteFileW(temporary.c_str());
    return error;
  }
  return ERROR_SUCCESS;
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
