#include "tests/support/gui_win.h"

#include <commctrl.h>
#include <ole2.h>

#include <vector>

#include "runtime/encoding_win.h"
#include "ui/message_loop_win.h"

namespace vantoip::test {

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > timeoutMs) return false;
    MSG msg;
    if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {  // one at a time: busy senders never starve the checks
      if (msg.message == WM_QUIT) continue;
      DispatchProgramMessage(msg);
    } else {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
  }
  return true;
}

void SendMouseButtons(POINT at, std::initializer_list<DWORD> buttons) {
  // Under a loaded X server a cursor move can land after the button events
  // that follow it: each event carries its own absolute position, and the
  // move is awaited first.
  SetCursorPos(at.x, at.y);
  POINT now{};
  for (int waited = 0; waited < 2000 && GetCursorPos(&now) && (now.x != at.x || now.y != at.y); waited += 10) Sleep(10);
  const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  std::vector<INPUT> inputs;
  for (DWORD button : buttons) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dx = MulDiv(at.x, 65535, width - 1);
    in.mi.dy = MulDiv(at.y, 65535, height - 1);
    in.mi.dwFlags = button | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    inputs.push_back(in);
  }
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

void SendKeys(std::initializer_list<WORD> down, WORD key) {
  std::vector<INPUT> inputs;
  auto add = [&](WORD vk, bool up) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    inputs.push_back(in);
  };
  for (WORD vk : down) add(vk, false);
  add(key, false);
  add(key, true);
  for (WORD vk : down) add(vk, true);
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

void PumpFor(DWORD ms) {
  const DWORD start = GetTickCount();
  PumpUntil([&] { return GetTickCount() - start >= ms; }, ms + 1000);
}

std::string WindowTextGbk(HWND hwnd) {
  std::wstring text(GetWindowTextLengthW(hwnd) + 1, L'\0');
  text.resize(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size())));
  return WideToGbk(text);
}

std::string ListTextShown(HWND list, int place, int column) {
  wchar_t text[64] = {};
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = text;
  item.cchTextMax = 64;
  SendMessageW(list, LVM_GETITEMTEXTW, place, reinterpret_cast<LPARAM>(&item));
  return WideToGbk(text);
}

void SetProxyValues(const DWORD* enable, const char* server) {
  RegistryKey owned;
  RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings", 0, nullptr, 0,
                  KEY_ALL_ACCESS, nullptr, owned.Receive(), nullptr);
  const HKEY key = owned.Get();
  if (enable) RegSetValueExA(key, "ProxyEnable", 0, REG_DWORD, reinterpret_cast<const BYTE*>(enable), sizeof *enable);
  else RegDeleteValueA(key, "ProxyEnable");
  if (server)
    RegSetValueExA(key, "ProxyServer", 0, REG_SZ, reinterpret_cast<const BYTE*>(server),
                   static_cast<DWORD>(strlen(server) + 1));
  else RegDeleteValueA(key, "ProxyServer");
}

void PrepareGuiTests() {
  static const bool prepared = [] {
    OleInitialize(nullptr);
    StartWindowFramework();
    return true;
  }();
  (void)prepared;
}

}  // namespace vantoip::test
