// File operations over wide paths: the program folder may hold characters
// that neither GBK nor the system's code page can spell.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace vantoip {

// True when at least one file or directory matches (wildcards allowed).
bool FileExists(const std::wstring& path);
// SetFileAttributes with the attributes masked to read-only, hidden, system and archive.
bool SetPathAttributes(const std::wstring& path, std::uint32_t attributes);
// Creates (truncates) the file for exclusive writing and writes the blocks in order.
bool WriteBytesToFile(const std::wstring& path, std::initializer_list<std::span<const std::uint8_t>> blocks);

// Replaces the file's contents as one step: written to "<path>.new", flushed,
// then moved over the file, so that a crash leaves the old file or the new one.
// 0 when done, else the system's error code.
unsigned long ReplaceFileContents(const std::wstring& path, std::string_view bytes);

// A small file's bytes: none when it cannot be opened or read (*error says
// why: ERROR_FILE_NOT_FOUND or ERROR_PATH_NOT_FOUND when it is not there);
// when it holds more than `maxBytes`, none and *tooLarge set (a cut file could mislead).
std::optional<std::string> ReadSmallFile(const std::wstring& path, std::size_t maxBytes, bool* tooLarge = nullptr,
                                         unsigned long* error = nullptr);

// Creates the folder and the folders above it; 0 when it is there, else the
// system's error code.
unsigned long EnsureFolder(const std::wstring& folder);

}  // namespace vantoip
