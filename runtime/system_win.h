// Shell, tick counter and threads.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "runtime/handle_win.h"

namespace vantoip {

// The shell's "open" action on a URL or document, shown normally; the owner is
// the top-level window titled "Microsoft Internet Explorer" when there is one.
void OpenWithShell(const std::string& target);

// The system's text for an error code, without its line end ("拒绝访问。"), in GBK.
std::string SystemErrorText(unsigned long code);

// Notes why a system call failed where the failure becomes a plain result
// (false, a title, a default): "Vantoip: <what>: <system text> (<code>)", on
// the debugger's output unless a sink is set (tests). The program's own
// messages say what went wrong; this says why.
void NoteFailure(std::string_view what, unsigned long code);
using FailureSink = void (*)(const std::string& note);
FailureSink SetFailureSink(FailureSink sink);  // null: the debugger's output again

// Milliseconds since the system started (wraps after 49.7 days).
std::uint32_t TickCount();

// The local date and time now, as "2026-12-08 17:30:05".
std::string LocalTimeText();

// Runs `body` on a thread of its own with the default stack size. When
// `handle` is given the thread is a new one and `handle` receives its handle;
// otherwise a thread whose earlier body has returned
// may take it, and no handle is kept. Nobody waits for the thread.
bool StartThread(std::function<void()> body, KernelHandle* handle = nullptr);

// Number of threads started by StartThread whose body has not yet returned.
int RunningThreadCount();

}  // namespace vantoip
