// The user's text files as Notepad saves them.
#pragma once

#include <string>
#include <string_view>

namespace vantoip {

inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// The text after a leading UTF-8 byte order mark.
std::string_view WithoutUtf8Bom(std::string_view text);

// A file's bytes as UTF-8, in any encoding Notepad saves: UTF-8 with or
// without a byte order mark, UTF-16 LE or BE with one. Broken UTF-16 (an odd
// last byte, a lone surrogate) loses only what is broken.
std::string NotepadTextUtf8(std::string_view bytes);

// Whether the bytes begin with a byte order mark of any of those encodings.
bool HasByteOrderMark(std::string_view bytes);

}  // namespace vantoip
