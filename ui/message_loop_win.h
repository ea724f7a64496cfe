// The message loop, modal windows and the dispatch of waiting events.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "ui/layout.h"
#include "ui/window_controls.h"

namespace vantoip {

class Window;

// Prepares the common controls; once, on the UI thread.
void StartWindowFramework();

// Creates and shows a window from its layout. A modal window disables its
// owner's top-level window and returns only after it has been closed.
// Returns the window (null for a modal one once closed) and whether it loaded.
bool LoadWindow(const WindowLayout& layout, std::vector<EventBinding> events, HWND owner = nullptr,
                bool modal = false, std::shared_ptr<Window>* created = nullptr);

// Runs until a quit message arrives (posted when the last program window is gone).
// Not entered at all when no program window exists. Returns the quit code.
int RunMessageLoop();

// Dispatches every message waiting for this thread; stops at a quit message,
// which stays in the queue.
void ProcessPendingEvents();

// Dispatches one message as the program's loops do, with keyboard navigation
// between controls.
void DispatchProgramMessage(MSG& msg);

}  // namespace vantoip
