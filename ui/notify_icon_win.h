// The program's icon in the notification area: its tip says the state and a
// balloon tells what just changed; the mouse on it comes to the owner as
// kTrayIconMouse. Removed when this object goes.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>

namespace vantoip {

class NotifyIcon {
 public:
  explicit NotifyIcon(HWND owner) : owner_(owner) {}
  ~NotifyIcon();
  NotifyIcon(const NotifyIcon&) = delete;
  NotifyIcon& operator=(const NotifyIcon&) = delete;

  // Adds the icon on first use; false when the shell refused it.
  bool SetTip(const std::wstring& tip);
  bool ShowBalloon(const std::wstring& title, const std::wstring& text);

 private:
  bool Apply(NOTIFYICONDATAW& data);
  HWND owner_;
  bool added_ = false;
  std::wstring tip_;
};

}  // namespace vantoip
