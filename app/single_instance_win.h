// One program per data folder: a second start while one runs shows the
// running one's window instead, so that two never fight over settings.ini and
// the snapshot. Tests give each program a data folder of its own, and so a mutex.
#pragma once

#include <string>

#include "runtime/handle_win.h"

namespace vantoip {

class SingleInstance {
 public:
  explicit SingleInstance(const std::wstring& dataFolder);
  // No other program of this data folder was running.
  bool First() const { return first_; }
  // Asks the running one to show its window (it may come to the front).
  void ShowFirst() const;
  // The number a later start sends with AnotherStartMessage: this data folder's.
  int Key() const { return key_; }

 private:
  int key_;
  KernelHandle mutex_;
  bool first_ = true;
};

}  // namespace vantoip
