// File operations over GBK paths.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>

namespace vantoip {

// True when at least one file or directory matches (wildcards allowed).
bool FileExists(const std::string& path);
// SetFileAttributes with the attributes masked to read-only, hidden, system and archive.
bool SetPathAttributes(const std::string& path, std::uint32_t attributes);
// Creates (truncates) the file for exclusive writing and writes the blocks in order.
bool WriteBytesToFile(const std::string& path, std::initializer_list<std::span<const std::uint8_t>> blocks);

}  // namespace vantoip
