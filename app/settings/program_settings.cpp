#include "app/settings/program_settings.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <vector>

namespace vantoip {
namespace {

struct Choice {
  std::string_view key;
  bool ProgramSettings::*value;
};
constexpr Choice kChoices[] = {{"failover", &ProgramSettings::failover},
                               {"relay", &ProgramSettings::relay},
                               {"rotation", &ProgramSettings::rotation}};

const Choice* ChoiceOf(std::optional<std::string_view> key) {
  for (const Choice& c : kChoices)
    if (key == c.key) return &c;
  return nullptr;
}

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";  // Notepad writes one

bool Marked(const std::string& text) { return std::string_view(text).starts_with(kByteOrderMark); }

// The file's lines, without a byte order mark before the first.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = Marked(text) ? kByteOrderMark.size() : 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// The line's key, when it is a "key=value" line.
std::optional<std::string_view> KeyOf(std::string_view line) {
  const std::size_t equals = line.find('=');
  if (equals == std::string_view::npos) return std::nullopt;
  return Trim(line.substr(0, equals));
}

std::string_view ValueOf(std::string_view line) { return Trim(line.substr(line.find('=') + 1)); }

}  // namespace

ProgramSettings ReadProgramSettings(DataFile& file) {
  ProgramSettings settings;
  const std::optional<std::string> text = file.Read();
  if (!text) return settings;
  for (const std::string& line : Lines(*text)) {
    const Choice* choice = ChoiceOf(KeyOf(line));
    if (!choice) continue;
    const std::string_view value = ValueOf(line);
    if (value == "0" || value == "1") settings.*choice->value = value == "1";  // anything else: the default
  }
  return settings;
}

bool WriteProgramSettings(DataFile& file, const ProgramSettings& settings) {
  const auto lineOf = [&](const Choice& c) { return std::string(c.key) + "=" + (settings.*c.value ? "1" : "0") + "\r\n"; };
  const std::string old = file.Read().value_or("");
  std::string text(Marked(old) ? kByteOrderMark : "");  // kept as the user's editor saved it
  std::vector<const Choice*> written;
  for (const std::string& line : Lines(old)) {
    const Choice* choice = ChoiceOf(KeyOf(line));
    if (!choice) {
      text += line + "\r\n";
    } else if (std::find(written.begin(), written.end(), choice) == written.end()) {  // one line a key
      text += lineOf(*choice);
      written.push_back(choice);
    }
  }
  for (const Choice& c : kChoices)
    if (std::find(written.begin(), written.end(), &c) == written.end()) text += lineOf(c);
  return file.Write(text);
}

}  // namespace vantoip
