#include "ui/notify_icon_win.h"

#include <algorithm>

#include "ui/messages_win.h"

namespace vantoip {
namespace {

constexpr UINT kIconId = 1;

template <std::size_t N>
void CopyCut(wchar_t (&to)[N], const std::wstring& from) {
  const std::size_t n = std::min(from.size(), N - 1);
  std::copy_n(from.c_str(), n, to);
  to[n] = L'\0';
}

}  // namespace

NotifyIcon::~NotifyIcon() {
  if (!added_) return;
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof data;
  data.hWnd = owner_;
  data.uID = kIconId;
  Shell_NotifyIconW(NIM_DELETE, &data);
}

bool NotifyIcon::Apply(NOTIFYICONDATAW& data) {
  data.cbSize = sizeof data;
  data.hWnd = owner_;
  data.uID = kIconId;
  data.uFlags |= NIF_ICON | NIF_TIP | NIF_MESSAGE;
  data.uCallbackMessage = kTrayIconMouse;
  data.hIcon = LoadIconW(nullptr, MAKEINTRESOURCEW(32512));  // IDI_APPLICATION
  CopyCut(data.szTip, tip_);
  if (added_) return Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
  added_ = Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
  return added_;
}

bool NotifyIcon::SetTip(const std::wstring& tip) {
  tip_ = tip;
  NOTIFYICONDATAW data{};
  return Apply(data);
}

bool NotifyIcon::ShowBalloon(const std::wstring& title, const std::wstring& text) {
  NOTIFYICONDATAW data{};
  data.uFlags = NIF_INFO;
  data.dwInfoFlags = NIIF_INFO;
  CopyCut(data.szInfoTitle, title);
  CopyCut(data.szInfo, text);
  return Apply(data);
}

}  // namespace vantoip
