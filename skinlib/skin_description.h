// The skin description: the colours and measures the library paints with,
// stored as text lines "key value" after the 272 zero bytes of an unpacked
// skin. The first line is "vantoip-skin 1"; every key below must be present.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace vantoip::skin {

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

// A face drawn as a vertical gradient with a border and text on it.
struct Look {
  Rgb top, bottom, border, text;
};

enum ButtonState { kButtonNormal, kButtonHot, kButtonPressed, kButtonDisabled, kButtonStates };
enum HeaderState { kHeaderNormal, kHeaderHot, kHeaderPressed, kHeaderStates };
enum TabState { kTabNormal, kTabHot, kTabSelected, kTabStates };
enum class Pattern { None, Lines, Dots, Diagonal, Grid };

struct Skin {
  Rgb windowTop, windowBottom;  // background of windows, top to bottom
  Pattern pattern = Pattern::None;
  Rgb patternColour;
  int patternAlpha = 0;         // 0-255
  int patternSpacing = 8;       // pixels, 2-64
  Rgb labelText;                // labels
  Rgb transparentText;          // transparent labels
  Look panel;                   // group boxes and tab pages (text unused)
  int panelRadius = 0;          // corner radius, 0-16
  Look caption;                 // the badge carrying a group box caption
  Look button[kButtonStates];
  Rgb focus;                    // focus ring of buttons, line under list headers
  int buttonRadius = 0;         // 0-16
  Look header[kHeaderStates];   // border: column dividers
  Look tab[kTabStates];         // border: tab outline
  Rgb frame;                    // edge of list views
};

// Parses an unpacked skin (padding and description); nullopt when the padding
// is not zero, the first line is wrong, a key is missing or a value is bad.
std::optional<Skin> ParseSkinDescription(std::span<const std::uint8_t> unpacked);

// The largest unpacked skin the library accepts.
constexpr std::size_t kMaxUnpackedSkin = 16u << 20;

// Unpacks and parses the data of a stored-skin record.
std::optional<Skin> LoadSkin(std::span<const std::uint8_t> data);

}  // namespace vantoip::skin
