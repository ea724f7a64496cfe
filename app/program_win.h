// The program's run: preparation, the main window, the message loop, the end.
#pragma once

#include <memory>

#include "app/main_window.h"
#include "app/services_win.h"

namespace vantoip {

class Window;

// Everything the main window works with, for the whole run.
struct Program {
  WindowsUserRegistry registry;
  WindowsThreads threads;
  WindowsClock clock;
  Services services{registry, threads, clock};
  SharedState state;
  MainWindow mainWindow;

  Program();
};

// Run-time preparation on the main thread: OLE, the program folder as the
// current directory, the native command table, the window framework.
void PrepareRun();

// Loads the main window as the start window; null when it cannot be created.
std::shared_ptr<Window> OpenMainWindow(Program& program);

}  // namespace vantoip
