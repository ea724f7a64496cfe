// The advertising area's buttons: the main window's 按钮3 opens the
// project-details window, 按钮4-按钮7 and the details window's 注册帐号
// buttons open the projects' pages. No state: every click starts afresh.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "ui/layout.h"
#include "ui/window_controls.h"

namespace vantoip {

// The shell's "open" action on a web address; its outcome is not reported.
class ShellOpener {
 public:
  virtual ~ShellOpener() = default;
  virtual void Open(const std::string& address) = 0;
};

class Promotion {
 public:
  Promotion(ShellOpener& shell, ModalWindowLoader loadModal);

  // Bindings of the main window's 按钮3 to 按钮7.
  std::vector<EventBinding> Events();
  // Bindings of the project-details window's 注册帐号 buttons, one per tab.
  std::vector<EventBinding> DetailsEvents();

  void OpenProjectPage(int project);
  void OpenDetailsWindow(const EventArgs& click);

 private:
  // A click on each named button opens the page of its project.
  std::vector<EventBinding> PageButtons(const std::vector<std::string>& buttonOfProject);

  ShellOpener& shell_;
  ModalWindowLoader loadModal_;
};

}  // namespace vantoip
