// Conversions between the program's GBK texts and the UTF-16 of the W APIs.
// Code page 936 is named explicitly so that the texts are right on any system locale.
#pragma once

#include <string>
#include <string_view>

namespace vantoip {

constexpr unsigned kGbkCodePage = 936;

std::wstring GbkToWide(std::string_view text);
std::string WideToGbk(std::wstring_view text);

}  // namespace vantoip
