// Helpers for tests that drive real windows in the test process.
#pragma once

#include <windows.h>
#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <memory>
#include <string>

#include "ui/window_win.h"

namespace vantoip::test {

// Dispatches messages until `done` holds or the time is up; a quit message
// posted when a window closed is taken out of the queue. Returns done().
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000);

// Dispatches whatever is waiting (quit messages included) for about `ms`.
void PumpFor(DWORD ms);

std::string WindowTextGbk(HWND hwnd);

// The text a list view shows at `place` in `column`, read through the view itself.
std::string ListTextShown(HWND list, int place, int column);

// Sends mouse button events (`MOUSEEVENTF_LEFTDOWN`, …) at the screen point
// `at` through the system's input queue, as a real mouse would.
void SendMouseButtons(POINT at, std::initializer_list<DWORD> buttons);

// Presses `key` with the keys `down` held (VK_CONTROL, …), through the
// system's input queue, as a real keyboard would.
void SendKeys(std::initializer_list<WORD> down, WORD key);

// Sets or removes the current user's two WinINet proxy values.
void SetProxyValues(const DWORD* enable, const char* server);

// The framework and OLE for the test thread, once.
void PrepareGuiTests();

// Base of the tests that open a real window in the test process: afterwards
// the window is gone and the current user has no proxy values.
class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override { PrepareGuiTests(); }
  void TearDown() override {
    if (window && window->Alive()) DestroyWindow(window->Handle());
    PumpFor(50);
    SetProxyValues(nullptr, nullptr);
  }

  std::shared_ptr<Window> window;
};

}  // namespace vantoip::test
