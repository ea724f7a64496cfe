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

namespace {

// Lists of settings: anything longer is not a file of ours.
constexpr std::size_t kMaxDataFileBytes = 1 << 20;

}  // namespace

std::wstring WindowsDataFile::Path() const {
  const std::wstring folder = DataFolder();
  return folder.empty() ? folder : folder + L"\\" + name_;
}

std::optional<std::string> WindowsDataFile::Read() {
  const std::wstring path = Path();
  bool tooLarge = false;
  std::optional<std::string> text = path.empty() ? std::nullopt : ReadSmallFile(path, kMaxDataFileBytes, &tooLarge);
  // Too large to be ours: an empty text, which no check of its contents passes, so the file is set aside.
  return tooLarge ? std::string() : text;
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
  if (!path.empty()) MoveFileExW(path.c_str(), (path + L".bad").c_str(), MOVEFILE_REPLACE_EXISTING);
}

bool WindowsThreads::Start(std::function<void()> body) { return StartThread(std::move(body)); }

std::uint64_t WindowsClock::Milliseconds() { return GetTickCount64(); }

}  // namespace vantoip
