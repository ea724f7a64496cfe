#include "ui/save_dialog_win.h"

#include <commdlg.h>

#include <algorithm>
#include <vector>

#include "runtime/encoding_win.h"
#include "runtime/file_win.h"
#include "runtime/system_win.h"

namespace vantoip {

std::optional<std::string> SaveWithDialog(HWND owner, const std::string& suggestedName, std::string_view bytes) {
  // Long paths are the dialog's to refuse; the buffer holds what it allows.
  std::vector<wchar_t> path(32768, L'\0');
  const std::wstring suggested = GbkToWide(suggestedName);
  std::copy_n(suggested.c_str(), std::min(suggested.size(), path.size() - 1), path.data());
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = L"文本文件 (*.txt)\0*.txt\0所有文件 (*.*)\0*.*\0";
  dialog.lpstrFile = path.data();
  dialog.nMaxFile = static_cast<DWORD>(path.size());
  dialog.lpstrDefExt = L"txt";
  dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_EXPLORER;
  if (!GetSaveFileNameW(&dialog)) {
    const DWORD error = CommDlgExtendedError();
    if (error == 0) return std::nullopt;  // cancelled
    return "错误 " + std::to_string(error);
  }
  const unsigned long error = ReplaceFileContents(path.data(), bytes);
  return error == ERROR_SUCCESS ? std::string() : SystemErrorText(error);
}

}  // namespace vantoip
