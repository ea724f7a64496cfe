#include "app/proxy_sources_win.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <optional>

#include "app/page_text_win.h"
#include "app/plain_proxy_list.h"
#include "app/proxy_sources.h"
#include "runtime/encoding_win.h"
#include "runtime/handle_win.h"

namespace vantoip {
namespace {

// A list of addresses; anything longer is not a sources file.
constexpr DWORD kMaxSourcesFileBytes = 1 << 20;

std::optional<std::string> EnvironmentText(const wchar_t* name) {
  const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
  if (size == 0) return std::nullopt;
  std::wstring value(size, L'\0');
  const DWORD length = GetEnvironmentVariableW(name, value.data(), size);
  if (length >= size) return std::nullopt;  // changed in between
  value.resize(length);
  return WideToGbk(value);
}

// The file's UTF-8 text converted to GBK, as every text of the program.
std::optional<std::string> SourcesFileText(const std::wstring& path) {
  FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size{};
  if (!file || !GetFileSizeEx(file.Get(), &size)) return std::nullopt;
  std::string bytes(static_cast<std::size_t>(std::min<LONGLONG>(size.QuadPart, kMaxSourcesFileBytes)), '\0');
  DWORD total = 0, read = 0;
  while (total < bytes.size() &&
         ReadFile(file.Get(), bytes.data() + total, static_cast<DWORD>(bytes.size()) - total, &read, nullptr) &&
         read > 0)
    total += read;
  bytes.resize(total);
  // The mark goes before the conversion: GBK has no character for it.
  const std::string_view utf8 = WithoutUtf8Bom(bytes);
  return Utf8ToGbkText(ByteBlock(utf8.begin(), utf8.end()));
}

}  // namespace

std::wstring SourcesFilePath() {
  wchar_t folder[MAX_PATH];
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder))) return {};
  return std::wstring(folder) + L"\\Vantoip\\sources.txt";
}

std::vector<std::string> ProxySources() {
  const std::optional<std::string> environment = EnvironmentText(L"VANTOIP_LIST_URL");
  const std::wstring path = SourcesFilePath();
  return ChooseProxySources(environment ? environment->c_str() : nullptr,
                            path.empty() ? std::nullopt : SourcesFileText(path));
}

bool EnsureSourcesFile(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return false;
  const int folder = SHCreateDirectoryExW(nullptr, path.substr(0, slash).c_str(), nullptr);
  if (folder != ERROR_SUCCESS && folder != ERROR_ALREADY_EXISTS && folder != ERROR_FILE_EXISTS) return false;
  // CREATE_NEW: an existing file, even one written in between, is left alone.
  FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return GetLastError() == ERROR_FILE_EXISTS;
  const std::string text = DefaultSourcesFileText();
  DWORD written = 0;
  if (WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
      written == text.size())
    return true;
  file.Reset();
  DeleteFileW(path.c_str());  // a cut file would hide the defaults it lacks for good
  return false;
}

void EditProxySources() {
  const std::wstring path = SourcesFilePath();
  if (EnsureSourcesFile(path)) ShellExecuteW(nullptr, L"open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace vantoip
