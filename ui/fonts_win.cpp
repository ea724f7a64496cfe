#include "ui/fonts_win.h"

#include <cwchar>
#include <string>

#include "runtime/handle_win.h"

namespace vantoip {
namespace {

constexpr const wchar_t* kPreferredFamilies[] = {
    L"Microsoft YaHei UI", L"Microsoft YaHei", L"SimSun",        L"NSimSun",
    L"WenQuanYi Micro Hei", L"Noto Sans CJK SC", L"Droid Sans Fallback",
};

int CALLBACK NoteFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

bool IsInstalled(HDC dc, const wchar_t* family) {
  LOGFONTW query{};
  query.lfCharSet = DEFAULT_CHARSET;
  wcsncpy(query.lfFaceName, family, LF_FACESIZE - 1);
  bool found = false;
  EnumFontFamiliesExW(dc, &query, &NoteFound, reinterpret_cast<LPARAM>(&found), 0);
  return found;
}

std::wstring ChooseFamily() {
  const WindowDc screen(nullptr, GetDC(nullptr));
  for (const wchar_t* family : kPreferredFamilies)
    if (IsInstalled(screen.Get(), family)) return family;
  return L"MS Shell Dlg 2";
}

HFONT MakeFont(const std::wstring& family, int height) {
  LOGFONTW lf{};
  lf.lfHeight = -height;
  lf.lfWeight = FW_NORMAL;
  lf.lfCharSet = GB2312_CHARSET;
  lf.lfQuality = CLEARTYPE_QUALITY;
  wcsncpy(lf.lfFaceName, family.c_str(), LF_FACESIZE - 1);
  return CreateFontIndirectW(&lf);
}

}  // namespace

HFONT FontFor(FontRole role) {
  static const std::wstring family = ChooseFamily();
  static const GdiObject defaultFont(MakeFont(family, 12));
  static const GdiObject valueFont(MakeFont(family, 16));
  return static_cast<HFONT>((role == FontRole::Value ? valueFont : defaultFont).Get());
}

}  // namespace vantoip
