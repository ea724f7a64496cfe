#include "app/settings/settings_window.h"

#include <algorithm>

#include "app/settings/settings_window_layout.h"
#include "runtime/text.h"

namespace vantoip {
namespace {

using namespace settings_window;
using Kind = SettingField::Kind;

bool Shown(const SettingField& field) { return FindControl(SettingsWindowLayout(), std::string(field.key)) != nullptr; }

}  // namespace

void SettingsWindow::Open(const EventArgs& from) {
  if (open_ || !parts_.loadModal) return;
  open_ = true;
  parts_.loadModal(from, SettingsWindowLayout(), Events());
  open_ = false;
}

std::vector<EventBinding> SettingsWindow::Events() {
  return {
      {kThisWindow, EventKind::Created,
       [this](const EventArgs& e) {
         saved_ = parts_.file ? ReadProgramSettings(*parts_.file) : ProgramSettings{};
         overridden_.clear();
         Fill(*e.window, WithEnvironment(saved_, parts_.environment, &overridden_));
         std::vector<std::string> names;
         for (const SettingField* field : overridden_) {
           if (!Shown(*field)) continue;
           e.window->SetDisabled(std::string(field->key), true);
           names.emplace_back(field->environment);
         }
         if (!names.empty())
           e.window->SetCaption(kOverriddenNote, "灰色的项由环境变量决定，这里不能改：" + JoinText(names, "、"));
       }},
      {kSaveButton, EventKind::Click,
       [this](const EventArgs& e) {
         if (Save(*e.window)) e.window->Close();
       }},
      {kCancelButton, EventKind::Click, [](const EventArgs& e) { e.window->Close(); }},
      {kDefaultsButton, EventKind::Click,
       [this](const EventArgs& e) { Fill(*e.window, WithEnvironment(ProgramSettings{}, parts_.environment)); }},
      {kSourcesButton, EventKind::Click,
       [this](const EventArgs& e) {
         if (parts_.editSources) e.window->SetCaption(kSaveFault, parts_.editSources());
       }},
  };
}

void SettingsWindow::Fill(WindowControls& w, const ProgramSettings& settings) {
  for (const SettingField& field : SettingFields()) {
    if (!Shown(field)) continue;
    const std::string key(field.key), text = SettingText(settings, field);
    if (field.kind == Kind::kChoice) {
      w.SetChecked(key, text == "1");
      continue;
    }
    // The bypass entries one a line in the window, ';' between them in the file.
    const std::string shown = parts_.toWindow(text);  // GBK, which ReplaceText steps through
    w.SetCaption(key, field.kind == Kind::kBypass ? ReplaceText(shown, ";", "\r\n") : shown);
    w.SetCaption(FaultOf(key), "");
  }
  w.SetCaption(kSaveFault, "");
}

bool SettingsWindow::Save(WindowControls& w) {
  ProgramSettings candidate = saved_;
  bool good = true;
  for (const SettingField& field : SettingFields()) {
    const bool overridden = std::find(overridden_.begin(), overridden_.end(), &field) != overridden_.end();
    if (!Shown(field) || overridden) continue;  // an overridden field keeps the file's value
    const std::string key(field.key);
    if (field.kind == Kind::kChoice) {
      SetSetting(candidate, field, w.Checked(key) ? "1" : "0");
      continue;
    }
    const std::string fault = SetSetting(candidate, field, parts_.fromWindow(w.Caption(key)));
    w.SetCaption(FaultOf(key), fault);
    good = good && fault.empty();
  }
  if (!good) {
    w.SetCaption(kSaveFault, "红字的项须改正，设置未保存");
    return false;
  }
  if (parts_.file && !WriteProgramSettings(*parts_.file, candidate)) {
    w.SetCaption(kSaveFault, "settings.ini 无法写入（文件夹只读或文件被占用），设置未保存");
    return false;
  }
  saved_ = candidate;
  if (parts_.apply) parts_.apply(candidate);
  return true;
}

}  // namespace vantoip
