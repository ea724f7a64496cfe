#include "app/skin_win.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "runtime/bytes.h"
#include "runtime/file_win.h"
#include "runtime/handle_win.h"
#include "runtime/native_commands_win.h"
#include "skinlib/skin_blob.h"
#include "skinlib/skin_data.h"

namespace vantoip {
namespace {

constexpr int kStoredSkinCount = 33;

std::wstring SkinLibraryPath() { return ProgramFolder() + L"\\SkinH_EL.dll"; }

// The library file opened so that nobody can change or delete it while the
// handle lives, when its bytes are the carried image; otherwise no handle.
FileHandle OpenIfCarriedImage(const std::wstring& path) {
  FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  const auto image = SkinLibraryImage();
  LARGE_INTEGER size{};
  if (!file || !GetFileSizeEx(file.Get(), &size) || size.QuadPart != static_cast<LONGLONG>(image.size()))
    return {};
  std::vector<std::uint8_t> bytes(image.size());
  DWORD read = 0;
  if (!ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
      read != bytes.size() || !std::equal(bytes.begin(), bytes.end(), image.begin()))
    return {};
  return file;
}

}  // namespace

void EnsureSkinLibrary() {
  const std::wstring path = SkinLibraryPath();
  if (FileExists(path)) return;
  WriteBytesToFile(path, {SkinLibraryImage()});
  SetPathAttributes(path, FILE_ATTRIBUTE_HIDDEN);
}

void ApplySkin(int number) {
  EnsureSkinLibrary();
  // Held until the call has loaded the library: what is loaded is what was checked.
  const FileHandle checked = OpenIfCarriedImage(SkinLibraryPath());
  // A checked copy that does not load leaves the program with its own look.
  if (!checked || !ProgramCommands().TryResolve(kSkinAttachRes)) return;
  ByteBlock copy;
  if (number >= 1 && number <= kStoredSkinCount) {
    const auto record = skin::SkinRecord(StoredSkins(), number);
    if (record.size() > skin::kRecordHeaderSize) copy.assign(record.begin() + skin::kRecordHeaderSize, record.end());
  }
  CallNativeCommand(kSkinAttachRes, {copy, BytesLength(copy), std::string(), 0, 0, 0});
}

}  // namespace vantoip
