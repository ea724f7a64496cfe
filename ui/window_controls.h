// The control operations of one window, as handlers and worker threads use
// them. Every operation may be called from any thread. On a worker thread a
// read waits for the window's thread to answer; a write is queued behind the
// caller's earlier writes and the caller goes on (it waits only while very
// many writes are queued). Once the window is gone writes do nothing and
// reads read as empty.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace vantoip {

// Addresses the window itself (its title) instead of one of its controls.
inline const std::string kThisWindow;

class WindowControls {
 public:
  virtual ~WindowControls() = default;

  // Caption of a label, push button or of the window (property 8 / 10).
  virtual std::string Caption(const std::string& control) = 0;
  virtual void SetCaption(const std::string& control, const std::string& text) = 0;
  // Disabled (property 6) and visible (property 5).
  virtual bool Disabled(const std::string& control) = 0;
  virtual void SetDisabled(const std::string& control, bool disabled) = 0;
  virtual void SetVisible(const std::string& control, bool visible) = 0;
  // Timer interval in milliseconds, 0 = stopped (property 8 of a timer).
  virtual int Interval(const std::string& timer) = 0;
  virtual void SetInterval(const std::string& timer, int milliseconds) = 0;
  // First selected row of a list view, -1 when none (property 35).
  virtual int CurrentRow(const std::string& list) = 0;

  // List view operations; rows and columns are 0-based.
  virtual void InsertRow(const std::string& list) = 0;  // appends an empty row
  virtual void SetCellText(const std::string& list, int row, int column, const std::string& text) = 0;
  virtual std::string GetCellText(const std::string& list, int row, int column) = 0;
  virtual void DeleteAllRows(const std::string& list) = 0;

  // Blocking TCP connect of a TCP client control (port <= 0 means 1).
  virtual bool ConnectClient(const std::string& client, const std::string& host, int port) = 0;

  // Runs `work` on the window's thread behind the caller's earlier writes,
  // without waiting for it, so that a check and the writes it allows happen
  // together there. Dropped once the window is gone.
  virtual void Post(std::function<void()> work) = 0;
};

// Events the framework delivers on the window's thread.
enum class EventKind { Created, Destroying, Click, Tick, ListClick, MouseDown };

struct EventArgs {
  std::shared_ptr<WindowControls> window;  // the window whose control raised the event
  int x = 0, y = 0;  // MouseDown: position in the control
  int keys = 0;      // MouseDown: Ctrl 1, Shift 2, Alt 4
};

struct EventBinding {
  std::string control;  // kThisWindow for Created and Destroying
  EventKind kind;
  std::function<void(const EventArgs&)> handler;
};

}  // namespace vantoip
