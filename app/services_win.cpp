#include "app/services_win.h"

#include <windows.h>

#include "app/data_folder_win.h"
#include "runtime/encoding_win.h"
#include "runtime/file_win.h"
#include "runtime/handle_win.h"
#include "runtime/registry_win.h"
#include "runtime/system_win.h"

namespace vantoip {

std::string WindowsUserRegistry::ReadText(const std::string& path) { return ReadRegistryText(kCurrentUser, path); }

std::int32_t WindowsUserRegistry::ReadNumber(const std::string& path) {
  return ReadRegistryNumber(kCurrentUser, path);
}

bool WindowsUserRegistry::Write(const std::string& path, const Value& value) {
  return WriteRegistryValue(kCurrentUser, path, value);
}

bool WindowsUserRegistry::Delete(const std::string& path) { return DeleteRegistryItem(kCurrentUser, path); }

std::optional<std::string> WindowsUserRegistry::ReadUnicode(const std::string& path) {
  return ReadRegistryUtf8(kCurrentUser, path);
}

bool WindowsUserRegistry::WriteUnicode(const std::string& path, const std::string& utf8) {
  return WriteRegistryUtf8(kCurrentUser, path, utf8);
}

bool WindowsUserRegistry::Exists(const std::string& path) { return RegistryValueExists(kCurrentUser, path); }

namespace {

// Lists of settings: anything longer is not a file of ours.
constexpr std::size_t kMaxDataFileBytes = 1 << 20;

}  // namespace

std::wstring WindowsDataFile::Path() const {
  const std::wstring folder = DataFolder();
  return folder.empty() ? folder : folder + L"\\" + name_;
}

DataFile::Contents WindowsDataFile::Load() {
  const std::wstring path = Path();
  if (path.empty()) return {State::Missing};  // no data folder: nothing was ever kept
  bool tooLarge = false;
  unsigned long error = ERROR_SUCCESS;
  std::optional<std::string> text = ReadSmallFile(path, kMaxDataFileBytes, &tooLarge, &error);
  // Too large to be ours: an empty text, which no check of its contents passes, so the file is set aside.
  if (text || tooLarge) return {State::Read, text.value_or(std::string())};
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return {State::Missing};
  NoteFailure("ReadSmallFile " + WideToGbk(path), error);
  return {State::Unreadable};
}

bool WindowsDataFile::Write(const std::string& text) {
  const std::wstring path = Path();
  if (path.empty()) return false;
  if (const unsigned long error = EnsureFolder(DataFolder()); error != ERROR_SUCCESS) {
    NoteFailure("SHCreateDirectoryExW " + WideToGbk(DataFolder()), error);
    return false;
  }
  const unsigned long error = ReplaceFileContents(path, text);
  if (error != ERROR_SUCCESS) NoteFailure("ReplaceFileContents " + WideToGbk(path), error);
  return error == ERROR_SUCCESS;
}

void WindowsDataFile::Forget() {
  const std::wstring path = Path();
  if (!path.empty()) DeleteFileW(path.c_str());
}

void WindowsDataFile::SetAside() {
  const std::wstring path = Path();
  if (path.empty()) return;
  constexpr int kMaxKept = 100;  // past that the last place is used again
  for (int n = 1; n <= kMaxKept; ++n) {
    const std::wstring kept = path + (n == 1 ? std::wstring() : L"." + std::to_wstring(n)) + L".bad";
    const DWORD flags = n == kMaxKept ? MOVEFILE_REPLACE_EXISTING : 0;
    if (MoveFileExW(path.c_str(), kept.c_str(), flags)) return;
    if (GetLastError() != ERROR_ALREADY_EXISTS && GetLastError() != ERROR_FILE_EXISTS) {
      NoteFailure("MoveFileExW " + WideToGbk(path), GetLastError());
      return;
    }
  }
}

bool WindowsThreads::Start(std::function<void()> body) { return StartThread(std::move(body)); }

std::uint64_t WindowsClock::Milliseconds() { return GetTickCount64(); }

}  // namespace vantoip
