// The program's settings, kept in settings.ini in its data folder: UTF-8
// "key=value" lines (a file Notepad saved in UTF-16 is read too). A key the
// program does not know, and any other line, is kept as it stands when the
// file is written again; a value that is not good gives the default.
// Environment variables name some of them too and win over the file.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "app/services.h"
#include "app/switch/proxy_guard.h"
#include "net/check_protocol.h"
#include "relay/client_request.h"

namespace vantoip {

struct ProgramSettings {
  // The check: an empty text stands for the default page, text or status.
  std::string checkUrl, checkText, httpsUrl, httpsStatus, judgeUrl;
  int checksAtOnce = kDefaultChecksInFlight;
  // The guard: whether it watches the proxy that is on, and how often it checks it.
  bool guard = true;
  int guardSeconds = kDefaultGuardSeconds;
  bool failover = true;   // "自动切换失效代理": the guard replaces a dead proxy
  bool relay = false;     // "本地中转": 连接 puts the local relay in place
  bool rotation = false;  // "轮换模式": each relayed connection through the next of the best
  int relayPort = kFirstRelayPort;  // the first port the relay tries
  std::string bypass;     // the user's own entries for the bypass list, ';' between them
  bool minimiseToTray = true;  // minimising hides the window to the notification icon
  // The main window as it was left: "left,top,width,height,maximised", and
  // its list's column widths; empty for the layout's.
  std::string windowPlace, columnWidths;
};

// One setting: its key in the file, the variable that overrides it (or
// null), and what a good value is.
struct SettingField {
  enum class Kind { kChoice, kNumber, kText, kHttpAddress, kHttpsAddress, kStatus, kBypass, kNumbers };
  std::string_view key;
  const char* environment;
  Kind kind;
  std::variant<bool ProgramSettings::*, int ProgramSettings::*, std::string ProgramSettings::*> value;
  int low = 0, high = 0;  // a number's range
  std::string why;        // a number's reason for its range, shown with a refusal
};
const std::vector<SettingField>& SettingFields();

std::string SettingText(const ProgramSettings& settings, const SettingField& field);
// Why `text` cannot be the field's value (GBK); empty when it can, and it is set.
std::string SetSetting(ProgramSettings& settings, const SettingField& field, std::string_view text);

// The file's settings; the keys whose values were not good go to `faulty`.
ProgramSettings ReadProgramSettings(DataFile& file, std::vector<std::string>* faulty = nullptr);
// The file's other lines kept, the settings' own lines replaced or added.
bool WriteProgramSettings(DataFile& file, const ProgramSettings& settings);

// The settings in effect: each good value of a variable `environment` gives
// (null when unset) in place of the file's; a number out of its range is
// kept within it. The fields so overridden go to `overridden`.
ProgramSettings WithEnvironment(ProgramSettings settings, const std::function<const char*(const char*)>& environment,
                                std::vector<const SettingField*>* overridden = nullptr);

// The numbers of a kNumbers text ("50,-8,649"); none when it is not one.
std::vector<int> NumbersOf(std::string_view text);

// The check's pages as the settings name them.
CheckPage CheckPageOf(const ProgramSettings& settings);

}  // namespace vantoip
