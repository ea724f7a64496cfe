#include "app/data_folder_win.h"

#include <windows.h>
#include <shlobj.h>

#include "runtime/encoding_win.h"

namespace vantoip {

std::wstring DataFolder() {
  wchar_t chosen[MAX_PATH];
  const DWORD n = GetEnvironmentVariableW(L"VANTOIP_DATA_DIR", chosen, MAX_PATH);
  if (n > 0 && n < MAX_PATH) return chosen;
  wchar_t folder[MAX_PATH];
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder))) return {};
  return std::wstring(folder) + L"\\Vantoip";
}

std::string SystemErrorText(unsigned long code) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message(text ? text : L"", n);
  LocalFree(text);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' '))
    message.pop_back();
  return message.empty() ? "错误 " + std::to_string(code) : WideToGbk(message);
}

}  // namespace vantoip
