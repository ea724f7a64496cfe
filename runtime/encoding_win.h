// Conversions between the program's GBK texts (and UTF-8 ones) and the UTF-16
// of the W APIs. Code page 936 is named explicitly so that the texts are right
// on any system locale.
#pragma once

#include <string>
#include <string_view>

namespace vantoip {

constexpr unsigned kGbkCodePage = 936;
constexpr unsigned kUtf8CodePage = 65001;

std::wstring ToWide(std::string_view text, unsigned codePage);
std::string FromWide(std::wstring_view text, unsigned codePage);

inline std::wstring GbkToWide(std::string_view text) { return ToWide(text, kGbkCodePage); }
inline std::string WideToGbk(std::wstring_view text) { return FromWide(text, kGbkCodePage); }
inline std::wstring Utf8ToWide(std::string_view text) { return ToWide(text, kUtf8CodePage); }
inline std::string WideToUtf8(std::wstring_view text) { return FromWide(text, kUtf8CodePage); }

}  // namespace vantoip
