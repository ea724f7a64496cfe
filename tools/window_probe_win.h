// Measures how long a window's thread takes to answer while the benchmark
// pumps it: a thread of its own sends the window a message and posts the
// pumping thread one every few milliseconds, and samples the private memory.
#pragma once

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <thread>

#include "tools/bench_process_win.h"
#include "ui/message_loop_win.h"

class WindowProbe {
 public:
  static constexpr UINT kPosted = WM_APP + 77;

  explicit WindowProbe(HWND window) : uiThread_(GetCurrentThreadId()) {
    thread_ = std::thread([this, window] {
      while (running_) {
        const double sent = Now();
        DWORD_PTR ignored;
        SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &ignored);
        worstSent_ = std::max(worstSent_.load(), (Now() - sent) * 1000);
        PostThreadMessageW(uiThread_, kPosted, 0, reinterpret_cast<LPARAM>(new double(Now())));
        peak_ = std::max(peak_.load(), PrivateMegabytes());
        Sleep(5);
      }
      probing_ = false;
    });
  }

  // Dispatches the program's messages and takes the probes until `done`
  // holds (checked after every message) or `seconds` have passed.
  void PumpUntil(const std::function<bool()>& done, double seconds) {
    const double end = Now() + seconds;
    while (!done() && Now() < end) {
      MSG msg;
      if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
      } else if (msg.message == kPosted) {
        const double* stamp = reinterpret_cast<double*>(msg.lParam);
        worstPosted_ = std::max(worstPosted_, (Now() - *stamp) * 1000);
        delete stamp;
      } else if (msg.message != WM_QUIT) {
        vantoip::DispatchProgramMessage(msg);
      }
    }
  }

  // Ends the probe; a probe sent just now is answered too.
  void Stop() {
    running_ = false;
    PumpUntil([this] { return !probing_; }, 20);
    thread_.join();
    PumpUntil([] { return false; }, 0.03);  // the last posted probes
  }

  double WorstMilliseconds() const { return std::max(worstSent_.load(), worstPosted_); }
  double PeakMegabytes() const { return peak_; }

 private:
  const DWORD uiThread_;
  std::atomic<bool> running_{true}, probing_{true};
  std::atomic<double> worstSent_{0}, peak_{PrivateMegabytes()};
  double worstPosted_ = 0;
  std::thread thread_;
};
