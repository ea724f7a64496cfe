#include "app/data_folder_win.h"

#include <windows.h>
#include <shlobj.h>


namespace vantoip {

std::wstring DataFolder() {
  wchar_t chosen[MAX_PATH];
  const DWORD n = GetEnvironmentVariableW(L"VANTOIP_DATA_DIR", chosen, MAX_PATH);
  if (n > 0 && n < MAX_PATH) return chosen;
  wchar_t folder[MAX_PATH];
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder))) return {};
  return std::wstring(folder) + L"\\Vantoip";
}

}  // namespace vantoip
