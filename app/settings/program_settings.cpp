#include "app/settings/program_settings.h"

#include <algorithm>
#include <charconv>
#include <optional>

#include "app/notepad_text.h"
#include "runtime/convert.h"
#include "runtime/text.h"

namespace vantoip {
namespace {

using Kind = SettingField::Kind;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t start = 0; start < text.size();) {
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

const SettingField* FieldOf(std::optional<std::string_view> key) {
  for (const SettingField& field : SettingFields())
    if (key == field.key) return &field;
  return nullptr;
}

// A decimal number without sign; none for anything else.
std::optional<int> NumberIn(std::string_view text) {
  int number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (text.empty() || text.front() == '-' || error != std::errc() || end != text.data() + text.size())
    return std::nullopt;
  return number;
}

std::string RangeFault(const SettingField& field) {
  return "须是 " + std::to_string(field.low) + " 到 " + std::to_string(field.high) + " 之间的整数" +
         std::string(field.why);
}

}  // namespace

const std::vector<SettingField>& SettingFields() {
  static const std::vector<SettingField> fields{
      {"check_url", "VANTOIP_CHECK_URL", Kind::kHttpAddress, &ProgramSettings::checkUrl},
      {"check_text", "VANTOIP_CHECK_TEXT", Kind::kText, &ProgramSettings::checkText},
      {"https_url", "VANTOIP_CHECK_HTTPS_URL", Kind::kHttpsAddress, &ProgramSettings::httpsUrl},
      {"https_status", "VANTOIP_CHECK_HTTPS_STATUS", Kind::kStatus, &ProgramSettings::httpsStatus},
      {"judge_url", "VANTOIP_CHECK_JUDGE_URL", Kind::kHttpAddress, &ProgramSettings::judgeUrl},
      {"checks_at_once", "VANTOIP_CHECK_PARALLEL", Kind::kNumber, &ProgramSettings::checksAtOnce, 1,
       kMaxChecksInFlight},
      {"guard", nullptr, Kind::kChoice, &ProgramSettings::guard},
      {"guard_seconds", "VANTOIP_GUARD_SECONDS", Kind::kNumber, &ProgramSettings::guardSeconds, kMinGuardSeconds,
       kMaxGuardSeconds, "（一次检测最长要 " + std::to_string(kCheckWorstCaseSeconds) + " 秒，间隔不能更短）"},
      {"failover", nullptr, Kind::kChoice, &ProgramSettings::failover},
      {"relay", nullptr, Kind::kChoice, &ProgramSettings::relay},
      {"rotation", nullptr, Kind::kChoice, &ProgramSettings::rotation},
      {"relay_port", nullptr, Kind::kNumber, &ProgramSettings::relayPort, kFirstRelayPort, kLastRelayPort,
       "（中转从这里起找空闲的端口）"},
      {"bypass", nullptr, Kind::kBypass, &ProgramSettings::bypass},
      {"minimise_to_tray", nullptr, Kind::kChoice, &ProgramSettings::minimiseToTray},
      {"window", nullptr, Kind::kNumbers, &ProgramSettings::windowPlace},
      {"columns", nullptr, Kind::kNumbers, &ProgramSettings::columnWidths},
  };
  return fields;
}

std::string SettingText(const ProgramSettings& settings, const SettingField& field) {
  return std::visit(
      [&](auto member) -> std::string {
        const auto& value = settings.*member;
        if constexpr (std::is_same_v<std::decay_t<decltype(value)>, bool>) return value ? "1" : "0";
        else if constexpr (std::is_same_v<std::decay_t<decltype(value)>, int>) return std::to_string(value);
        else return value;
      },
      field.value);
}

std::string SetSetting(ProgramSettings& settings, const SettingField& field, std::string_view text) {
  text = Trim(text);
  switch (field.kind) {
    case Kind::kChoice:
      if (text != "0" && text != "1") return "须是 0 或 1";
      settings.*std::get<bool ProgramSettings::*>(field.value) = text == "1";
      return {};
    case Kind::kNumber: {
      const std::optional<int> number = NumberIn(text);
      if (!number || *number < field.low || *number > field.high) return RangeFault(field);
      settings.*std::get<int ProgramSettings::*>(field.value) = *number;
      return {};
    }
    case Kind::kHttpAddress:
      if (!text.empty() && !IsPlainUrl(text, "http")) return "须是 http:// 开头的网址";
      break;
    case Kind::kHttpsAddress:
      if (!text.empty() && !IsPlainUrl(text, "https")) return "须是 https:// 开头的网址";
      break;
    case Kind::kStatus:
      if (const std::optional<int> status = NumberIn(text); !text.empty() && (!status || *status < 100 || *status > 599))
        return "须是 100 到 599 之间的状态码";
      break;
    case Kind::kBypass: {
      // One entry a line in the window, ';' between them in the file.
      std::vector<std::string> entries;
      for (std::size_t at = 0; at <= text.size();) {
        std::size_t end = text.find_first_of("; \t\r\n", at);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view entry = text.substr(at, end - at);
        if (entry.find('/') != std::string_view::npos) return "网段不能用 / 写，请写成 10.* 这样";
        if (!entry.empty()) entries.emplace_back(entry);
        at = end + 1;
      }
      settings.bypass = JoinText(entries, ";");
      return {};
    }
    case Kind::kNumbers:
      if (!text.empty() && NumbersOf(text).empty()) return "须是以逗号分开的整数";
      break;
    case Kind::kText: break;
  }
  settings.*std::get<std::string ProgramSettings::*>(field.value) = std::string(text);
  return {};
}

ProgramSettings ReadProgramSettings(DataFile& file, std::vector<std::string>* faulty) {
  ProgramSettings settings;
  const std::optional<std::string> text = file.Read();
  if (!text) return settings;
  for (const std::string& line : Lines(NotepadTextUtf8(*text))) {
    const SettingField* field = FieldOf(KeyOf(line));
    if (field && !SetSetting(settings, *field, ValueOf(line)).empty() && faulty) faulty->push_back(std::string(field->key));
  }
  return settings;
}

bool WriteProgramSettings(DataFile& file, const ProgramSettings& settings) {
  const auto lineOf = [&](const SettingField& f) { return std::string(f.key) + "=" + SettingText(settings, f) + "\r\n"; };
  const std::string old = file.Read().value_or("");
  // Kept marked as the user's editor saved it; UTF-16 becomes UTF-8.
  std::string text(HasByteOrderMark(old) ? kUtf8Bom : "");
  std::vector<const SettingField*> written;
  for (const std::string& line : Lines(NotepadTextUtf8(old))) {
    const SettingField* field = FieldOf(KeyOf(line));
    if (!field) {
      text += line + "\r\n";
    } else if (std::find(written.begin(), written.end(), field) == written.end()) {  // one line a key
      text += lineOf(*field);
      written.push_back(field);
    }
  }
  for (const SettingField& field : SettingFields())
    if (std::find(written.begin(), written.end(), &field) == written.end()) text += lineOf(field);
  return file.Write(text);
}

ProgramSettings WithEnvironment(ProgramSettings settings, const std::function<const char*(const char*)>& environment,
                                std::vector<const SettingField*>* overridden) {
  for (const SettingField& field : SettingFields()) {
    const char* value = field.environment ? environment(field.environment) : nullptr;
    if (!value || !*value) continue;
    std::string text = value;
    if (field.kind == Kind::kNumber && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
      text = std::to_string(BoundedNumberFrom(value, field.low, field.low, field.high));
    if (SetSetting(settings, field, text).empty() && overridden) overridden->push_back(&field);
  }
  return settings;
}

std::vector<int> NumbersOf(std::string_view text) {
  std::vector<int> numbers;
  for (std::size_t at = 0; at <= text.size();) {
    std::size_t end = text.find(',', at);
    if (end == std::string_view::npos) end = text.size();
    std::string_view item = Trim(text.substr(at, end - at));
    const bool negative = !item.empty() && item.front() == '-';
    if (negative) item.remove_prefix(1);
    const std::optional<int> number = NumberIn(item);
    if (!number) return {};
    numbers.push_back(negative ? -*number : *number);
    at = end + 1;
  }
  return numbers;
}

CheckPage CheckPageOf(const ProgramSettings& settings) {
  CheckPage page = CheckPageFrom(settings.checkUrl.c_str(), settings.checkText.c_str());
  page.https = HttpsPageFrom(settings.httpsUrl.c_str(), settings.httpsStatus.c_str());
  page.judges = JudgesFrom(settings.judgeUrl.c_str());
  return page;
}

}  // namespace vantoip
