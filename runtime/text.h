// Text routines over GBK byte strings. Positions are 1-based byte positions,
// -1 means "not found"; a byte >= 0x80 starts a two-byte character that every
// character walk steps over whole.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantoip {

using Text = std::string;

// Byte length of the character starting at text[i] (1 or 2; 1 when a lead
// byte is the last byte of the text, where the walk ends anyway).
inline std::size_t CharLength(std::string_view text, std::size_t i) {
  return (static_cast<unsigned char>(text[i]) >= 0x80 && i + 1 < text.size()) ? 2 : 1;
}

// Unsigned byte comparison: -1, 0 or 1.
int CompareText(std::string_view a, std::string_view b);

int TextLength(std::string_view text);
Text LeftText(std::string_view text, int n);
Text RightText(std::string_view text, int n);
Text MidText(std::string_view text, int start, int n);
Text CharText(int code);
Text SpaceText(int n);

int FindText(std::string_view text, std::string_view sought,
             std::optional<int> start = std::nullopt, std::optional<bool> ignoreCase = std::nullopt);
int FindTextReverse(std::string_view text, std::string_view sought,
                    std::optional<int> start = std::nullopt,
                    std::optional<bool> ignoreCase = std::nullopt);

Text ToLowerText(std::string_view text);
Text TrimText(std::string_view text);
Text RemoveSpaces(std::string_view text);
// Replaces every occurrence of `from` (case-sensitive, character stepping, no re-scan).
Text ReplaceText(std::string_view text, std::string_view from, std::string_view to);
// The parts with `separator` between each two.
Text JoinText(const std::vector<std::string>& parts, std::string_view separator);

}  // namespace vantoip
