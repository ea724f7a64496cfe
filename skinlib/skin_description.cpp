#include "skinlib/skin_description.h"

#include <algorithm>
#include <charconv>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "skinlib/skin_blob.h"

namespace vantoip::skin {
namespace {

constexpr std::string_view kFirstLine = "vantoip-skin 1";

std::optional<Rgb> ParseColour(std::string_view text) {
  if (text.size() != 7 || text[0] != '#') return std::nullopt;
  unsigned value = 0;
  const auto [end, error] = std::from_chars(text.data() + 1, text.data() + 7, value, 16);
  if (error != std::errc() || end != text.data() + 7) return std::nullopt;
  return Rgb{static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 8),
             static_cast<std::uint8_t>(value)};
}

std::optional<int> ParseInteger(std::string_view text, int low, int high) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < low || value > high) return std::nullopt;
  return value;
}

std::optional<Pattern> ParsePattern(std::string_view text) {
  constexpr std::pair<std::string_view, Pattern> kNames[] = {{"none", Pattern::None},
                                                             {"lines", Pattern::Lines},
                                                             {"dots", Pattern::Dots},
                                                             {"diagonal", Pattern::Diagonal},
                                                             {"grid", Pattern::Grid}};
  for (const auto& [name, pattern] : kNames)
    if (text == name) return pattern;
  return std::nullopt;
}

// One key of the description and how its value lands in a Skin.
struct Key {
  std::string name;
  std::function<bool(Skin&, std::string_view)> set;
};

Key ColourKey(std::string name, std::function<Rgb&(Skin&)> field) {
  return {std::move(name), [field](Skin& s, std::string_view v) {
            const auto c = ParseColour(v);
            if (c) field(s) = *c;
            return c.has_value();
          }};
}

Key IntegerKey(std::string name, int low, int high, int Skin::*field) {
  return {std::move(name), [=](Skin& s, std::string_view v) {
            const auto n = ParseInteger(v, low, high);
            if (n) s.*field = *n;
            return n.has_value();
          }};
}

// "<prefix>.top", ".bottom", ".border" and, when `withText`, ".text".
void AddLookKeys(std::vector<Key>& keys, const std::string& prefix, std::function<Look&(Skin&)> look,
                 bool withText = true) {
  keys.push_back(ColourKey(prefix + ".top", [look](Skin& s) -> Rgb& { return look(s).top; }));
  keys.push_back(ColourKey(prefix + ".bottom", [look](Skin& s) -> Rgb& { return look(s).bottom; }));
  keys.push_back(ColourKey(prefix + ".border", [look](Skin& s) -> Rgb& { return look(s).border; }));
  if (withText) keys.push_back(ColourKey(prefix + ".text", [look](Skin& s) -> Rgb& { return look(s).text; }));
}

const std::vector<Key>& Keys() {
  static const std::vector<Key> keys = [] {
    std::vector<Key> k;
    k.push_back(ColourKey("window.top", [](Skin& s) -> Rgb& { return s.windowTop; }));
    k.push_back(ColourKey("window.bottom", [](Skin& s) -> Rgb& { return s.windowBottom; }));
    k.push_back({"pattern.kind", [](Skin& s, std::string_view v) {
                   const auto p = ParsePattern(v);
                   if (p) s.pattern = *p;
                   return p.has_value();
                 }});
    k.push_back(ColourKey("pattern.colour", [](Skin& s) -> Rgb& { return s.patternColour; }));
    k.push_back(IntegerKey("pattern.alpha", 0, 255, &Skin::patternAlpha));
    k.push_back(IntegerKey("pattern.spacing", 2, 64, &Skin::patternSpacing));
    k.push_back(ColourKey("label.text", [](Skin& s) -> Rgb& { return s.labelText; }));
    k.push_back(ColourKey("transparent.text", [](Skin& s) -> Rgb& { return s.transparentText; }));
    AddLookKeys(k, "panel", [](Skin& s) -> Look& { return s.panel; }, false);
    k.push_back(IntegerKey("panel.radius", 0, 16, &Skin::panelRadius));
    AddLookKeys(k, "caption", [](Skin& s) -> Look& { return s.caption; });
    const char* buttonStates[] = {"normal", "hot", "pressed", "disabled"};
    for (int i = 0; i < kButtonStates; ++i)
      AddLookKeys(k, std::string("button.") + buttonStates[i], [i](Skin& s) -> Look& { return s.button[i]; });
    k.push_back(ColourKey("focus", [](Skin& s) -> Rgb& { return s.focus; }));
    k.push_back(IntegerKey("button.radius", 0, 16, &Skin::buttonRadius));
    const char* headerStates[] = {"normal", "hot", "pressed"};
    for (int i = 0; i < kHeaderStates; ++i)
      AddLookKeys(k, std::string("header.") + headerStates[i], [i](Skin& s) -> Look& { return s.header[i]; });
    const char* tabStates[] = {"normal", "hot", "selected"};
    for (int i = 0; i < kTabStates; ++i)
      AddLookKeys(k, std::string("tab.") + tabStates[i], [i](Skin& s) -> Look& { return s.tab[i]; });
    k.push_back(ColourKey("frame", [](Skin& s) -> Rgb& { return s.frame; }));
    return k;
  }();
  return keys;
}

}  // namespace

std::optional<Skin> ParseSkinDescription(std::span<const std::uint8_t> unpacked) {
  if (unpacked.size() < kUnpackedPaddingSize ||
      !std::all_of(unpacked.begin(), unpacked.begin() + kUnpackedPaddingSize, [](std::uint8_t b) { return b == 0; }))
    return std::nullopt;
  const auto text = unpacked.subspan(kUnpackedPaddingSize);
  std::string_view rest(reinterpret_cast<const char*>(text.data()), text.size());

  const std::vector<Key>& keys = Keys();
  std::vector<bool> seen(keys.size(), false);
  Skin skin;
  bool first = true;
  while (!rest.empty()) {
    const std::size_t end = std::min(rest.find('\n'), rest.size());
    std::string_view line = rest.substr(0, end);
    rest.remove_prefix(std::min(end + 1, rest.size()));
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (first) {
      if (line != kFirstLine) return std::nullopt;
      first = false;
      continue;
    }
    if (line.empty()) continue;
    const std::size_t space = line.find(' ');
    if (space == std::string_view::npos) return std::nullopt;
    const std::string_view name = line.substr(0, space), value = line.substr(space + 1);
    const auto key = std::find_if(keys.begin(), keys.end(), [&](const Key& k) { return k.name == name; });
    if (key == keys.end()) continue;  // a later version's key
    if (!key->set(skin, value)) return std::nullopt;
    seen[key - keys.begin()] = true;
  }
  if (first || std::find(seen.begin(), seen.end(), false) != seen.end()) return std::nullopt;
  return skin;
}

std::optional<Skin> LoadSkin(std::span<const std::uint8_t> data) {
  const auto unpacked = UnpackSkin(data, kMaxUnpackedSkin);
  if (!unpacked) return std::nullopt;
  return ParseSkinDescription(*unpacked);
}

}  // namespace vantoip::skin
