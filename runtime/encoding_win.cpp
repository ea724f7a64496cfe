#include "runtime/encoding_win.h"

#include <windows.h>

namespace vantoip {

std::wstring GbkToWide(std::string_view text) {
  if (text.empty()) return {};
  const int n = MultiByteToWideChar(kGbkCodePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(n, L'\0');
  MultiByteToWideChar(kGbkCodePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

std::string WideToGbk(std::wstring_view text) {
  if (text.empty()) return {};
  const int n = WideCharToMultiByte(kGbkCodePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                    nullptr, nullptr);
  std::string out(n, '\0');
  WideCharToMultiByte(kGbkCodePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr,
                      nullptr);
  return out;
}

}  // namespace vantoip
