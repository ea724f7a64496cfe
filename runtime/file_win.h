// File operations over wide paths: the program folder may hold characters
// that neither GBK nor the system's code page can spell.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>

namespace vantoip {

// True when at least one file or directory matches (wildcards allowed).
bool FileExists(const std::wstring& path);
// SetFileAttributes with the attributes masked to read-only, hidden, system and archive.
bool SetPathAttributes(const std::wstring& path, std::uint32_t attributes);
// Creates (truncates) the file for exclusive writing and writes the blocks in order.
bool WriteBytesToFile(const std::wstring& path, std::initializer_list<std::span<const std::uint8_t>> blocks);

}  // namespace vantoip
