#include "app/list/proxy_sources_win.h"

#include <windows.h>
#include <shellapi.h>

#include <optional>

#include "app/data_folder_win.h"
#include "app/notepad_text.h"
#include "runtime/system_win.h"
#include "app/list/page_text_win.h"
#include "app/list/plain_proxy_list.h"
#include "app/list/proxy_sources.h"
#include "runtime/encoding_win.h"
#include "runtime/file_win.h"
#include "runtime/handle_win.h"

namespace vantoip {
namespace {

// A list of addresses; anything longer is not a sources file.
constexpr std::size_t kMaxSourcesFileBytes = 1 << 20;

std::optional<std::string> EnvironmentText(const wchar_t* name) {
  const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
  if (size == 0) return std::nullopt;
  std::wstring value(size, L'\0');
  const DWORD length = GetEnvironmentVariableW(name, value.data(), size);
  if (length >= size) return std::nullopt;  // changed in between
  value.resize(length);
  return WideToGbk(value);
}

struct SourcesFileRead {
  std::optional<std::string> text;  // GBK, as every text of the program
  bool tooLarge = false;
};

SourcesFileRead ReadSourcesFile(const std::wstring& path) {
  bool tooLarge = false;
  const std::optional<std::string> bytes = ReadSmallFile(path, kMaxSourcesFileBytes, &tooLarge);
  if (!bytes) return {std::nullopt, tooLarge};
  const std::string utf8 = NotepadTextUtf8(*bytes);  // without a mark, which GBK has no character for
  return {Utf8ToGbkText(ByteBlock(utf8.begin(), utf8.end()))};
}

}  // namespace

std::wstring SourcesFilePath() {
  const std::wstring folder = DataFolder();
  return folder.empty() ? folder : folder + L"\\sources.txt";
}

ProxySourceList ProxySources() {
  const std::optional<std::string> environment = EnvironmentText(L"VANTOIP_LIST_URL");
  const std::wstring path = SourcesFilePath();
  const SourcesFileRead file = path.empty() ? SourcesFileRead{} : ReadSourcesFile(path);
  return ChooseProxySources(environment ? environment->c_str() : nullptr, file.text, file.tooLarge);
}

unsigned long EnsureSourcesFile(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return ERROR_PATH_NOT_FOUND;
  if (const unsigned long error = EnsureFolder(path.substr(0, slash))) return error;
  // CREATE_NEW: an existing file, even one written in between, is left alone.
  FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_EXISTS ? ERROR_SUCCESS : error;
  }
  const std::string text = DefaultSourcesFileText();
  DWORD written = 0;
  if (WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
      written == text.size())
    return ERROR_SUCCESS;
  const DWORD error = written == text.size() ? GetLastError() : ERROR_DISK_FULL;
  file.Reset();
  DeleteFileW(path.c_str());  // a cut file would hide the defaults it lacks for good
  return error;
}

std::string EditProxySources() {
  const std::wstring path = SourcesFilePath();
  if (path.empty()) return "无法创建代理来源文件（系统没有应用程序数据文件夹）";
  if (const unsigned long error = EnsureSourcesFile(path))
    return "无法创建代理来源文件（" + SystemErrorText(error) + "）";
  SHELLEXECUTEINFOW open{sizeof open};
  open.fMask = SEE_MASK_FLAG_NO_UI;  // the reason goes to the title, not to a box of the shell's
  open.lpVerb = L"open";
  open.lpFile = path.c_str();
  open.nShow = SW_SHOWNORMAL;
  if (!ShellExecuteExW(&open)) return "无法打开代理来源文件（" + SystemErrorText(GetLastError()) + "）";
  return {};
}

}  // namespace vantoip
