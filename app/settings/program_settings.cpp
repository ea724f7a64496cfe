#include "app/settings/program_settings.h"

#include <optional>
#include <string_view>
#include <vector>

namespace vantoip {
namespace {

constexpr std::string_view kFailoverKey = "failover";

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
    if (KeyOf(line) != kFailoverKey) continue;
    const std::string_view value = ValueOf(line);
    if (value == "0" || value == "1") settings.failover = value == "1";  // anything else: the default
  }
  return settings;
}

bool WriteProgramSettings(DataFile& file, const ProgramSettings& settings) {
  const std::string failover = std::string(kFailoverKey) + "=" + (settings.failover ? "1" : "0");
  const std::string old = file.Read().value_or("");
  std::string text(Marked(old) ? kByteOrderMark : "");  // kept as the user's editor saved it
  bool written = false;
  for (const std::string& line : Lines(old)) {
    if (KeyOf(line) == kFailoverKey) {
      if (written) continue;  // one line a key
      text += failover + "\r\n";
      written = true;
    } else {
      text += line + "\r\n";
    }
  }
  if (!written) text += failover + "\r\n";
  return file.Write(text);
}

}  // namespace vantoip
