// The 设置 window over the main window: every setting of settings.ini as a
// field. 确定 checks them all; a bad value is named beside its field and
// nothing is saved until all are good; a good set is written at once and takes
// effect. A setting an environment variable decides is shown, read-only.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/settings/program_settings.h"
#include "ui/window_controls.h"

namespace vantoip {

struct SettingsWindowParts {
  DataFile* file = nullptr;  // settings.ini
  std::function<const char*(const char*)> environment;
  // A saved set (the file's values): it takes effect.
  std::function<void(const ProgramSettings& saved)> apply;
  std::function<std::string()> editSources;  // as the list's "编辑代理来源": why it could not, or empty
  ModalWindowLoader loadModal;
  // Settings are UTF-8, the window's texts GBK.
  std::function<std::string(const std::string&)> toWindow = [](const std::string& t) { return t; };
  std::function<std::string(const std::string&)> fromWindow = [](const std::string& t) { return t; };
};

class SettingsWindow {
 public:
  explicit SettingsWindow(SettingsWindowParts parts) : parts_(std::move(parts)) {}

  // Modal over the window that raised `from`; one at a time.
  void Open(const EventArgs& from);
  std::vector<EventBinding> Events();

  void Fill(WindowControls& w, const ProgramSettings& settings);
  // Checks every field; writes and applies them when all are good. False
  // when one is not, or the file could not be written (the window says why).
  bool Save(WindowControls& w);

 private:
  SettingsWindowParts parts_;
  bool open_ = false;
  ProgramSettings saved_;  // the file's when the window opened: what a read-only field keeps
  std::vector<const SettingField*> overridden_;
};

}  // namespace vantoip
