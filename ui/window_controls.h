// The control operations of one window, as handlers and worker threads use
// them. Every operation may be called from any thread. On a worker thread a
// read waits for the window's thread to answer; a write is queued behind the
// caller's earlier writes and the caller goes on (it waits only while very
// many writes are queued). Once the window is gone writes do nothing and
// reads read as empty.
#pragma once

#include <functional>
#include <optional>
#include <memory>
#include <string>
#include <vector>

namespace vantoip {

// Addresses the window itself (its title) instead of one of its controls.
inline const std::string kThisWindow;

// One item of a context menu; command 0 is a separator.
struct MenuItem {
  int command = 0;
  std::string text;
  bool checked = false;
  bool enabled = true;
};

// Where a window stands when not minimised or maximised, in screen
// coordinates, and whether it is maximised.
struct WindowPlace {
  int left = 0, top = 0, width = 0, height = 0;
  bool maximised = false;
};

class WindowControls {
 public:
  virtual ~WindowControls() = default;

  // Caption of a label, push button or of the window (its title).
  virtual std::string Caption(const std::string& control) = 0;
  virtual void SetCaption(const std::string& control, const std::string& text) = 0;
  // Disabled (property 6) and visible (property 5).
  virtual bool Disabled(const std::string& control) = 0;
  virtual void SetDisabled(const std::string& control, bool disabled) = 0;
  // For the window itself: shown (restored, in front) or hidden, its taskbar button with it.
  virtual bool Visible(const std::string& control) = 0;
  virtual void SetVisible(const std::string& control, bool visible) = 0;
  // The window's place; a place no monitor shows keeps the size only.
  virtual WindowPlace Place() = 0;
  virtual void SetPlace(const WindowPlace& place) = 0;
  // The widths of a list view's columns, in pixels.
  virtual std::vector<int> ColumnWidths(const std::string& list) = 0;
  virtual void SetColumnWidths(const std::string& list, const std::vector<int>& widths) = 0;
  // Ends the window as its close button does.
  virtual void Close() = 0;
  // A check box ticked.
  virtual bool Checked(const std::string& box) = 0;
  virtual void SetChecked(const std::string& box, bool checked) = 0;
  // Timer interval in milliseconds, 0 = stopped.
  virtual int Interval(const std::string& timer) = 0;
  virtual void SetInterval(const std::string& timer, int milliseconds) = 0;
  // First selected row of a list view, -1 when none (property 35).
  virtual int CurrentRow(const std::string& list) = 0;

  // List view operations; rows and columns are 0-based.
  virtual void InsertRow(const std::string& list) = 0;  // appends an empty row
  virtual void SetCellText(const std::string& list, int row, int column, const std::string& text) = 0;
  virtual std::string GetCellText(const std::string& list, int row, int column) = 0;
  virtual void DeleteAllRows(const std::string& list) = 0;
  virtual int RowCount(const std::string& list) = 0;
  // Rows keep their numbers above; the view shows them in an order and a
  // selection of its own. Shows the rows in the order `less` gives (it
  // compares two rows), marking `column` in the header as sorted up or down;
  // rows appended later follow them.
  virtual void SortRows(const std::string& list, int column, bool ascending, std::function<bool(int, int)> less) = 0;
  // Shows only the rows for which `shown` holds (all when empty); asked again
  // whenever a cell of the list changes.
  virtual void FilterRows(const std::string& list, std::function<bool(int)> shown) = 0;
  // Selects the row and brings it into view, as a click on it would, without
  // raising the click.
  virtual void SelectRow(const std::string& list, int row) = 0;

  // A context menu at the mouse; returns the chosen command, 0 when none was.
  virtual int ShowMenu(const std::vector<MenuItem>& items) = 0;
  // Progress of a long operation on the window's taskbar button, where the
  // system offers it; a total of 0 removes it.
  virtual void SetProgress(int done, int total) = 0;
  // Puts the text on the clipboard (as Unicode text); false when the
  // clipboard could not be had.
  virtual bool CopyText(const std::string& text) = 0;
  // The program's icon in the notification area (there from the first call
  // until the window goes): the tip that says the state, and a balloon that
  // tells what just happened.
  virtual void SetTrayTip(const std::string& tip) = 0;
  virtual void ShowTrayBalloon(const std::string& text) = 0;
  // The system's save dialog, then `bytes` written to the file chosen:
  // nothing when the user cancelled, an empty text when saved, else why not.
  virtual std::optional<std::string> SaveText(const std::string& suggestedName, const std::string& bytes) = 0;

  // Blocking TCP connect of a TCP client control (port <= 0 means 1).
  virtual bool ConnectClient(const std::string& client, const std::string& host, int port) = 0;

  // Runs `work` on the window's thread behind the caller's earlier writes,
  // without waiting for it, so that a check and the writes it allows happen
  // together there. Dropped once the window is gone.
  virtual void Post(std::function<void()> work) = 0;
};

// Events the framework delivers on the window's thread.
// ListMenu: a right click on a list view (or the menu key while it has the
// focus); HeaderClick: a click on a column heading; Key: a key pressed while
// the window or one of its controls has the focus.
// SessionEnding: Windows is ending the user's session (logoff, shutdown); the
// process may be ended as soon as the handler returns. TrayClick, TrayMenu:
// a left or right click on the window's notification icon. Minimised: the
// user minimised the window. AnotherStart: a later start of the program asked
// for this one's window (`key` is the number it sent, AnotherStartMessage's wParam).
enum class EventKind {
  Created, Destroying, Click, Tick, ListClick, MouseDown, ListMenu, HeaderClick, Key, SessionEnding, TrayClick, TrayMenu,
  Minimised, AnotherStart
};

struct EventArgs {
  std::shared_ptr<WindowControls> window;  // the window whose control raised the event
  int x = 0, y = 0;  // MouseDown: position in the control
  int keys = 0;      // MouseDown, Key: Ctrl 1, Shift 2, Alt 4
  int column = -1;   // HeaderClick: the column
  int key = 0;       // Key: the virtual-key code
};

struct EventBinding {
  std::string control;  // kThisWindow for Created and Destroying
  EventKind kind;
  std::function<void(const EventArgs&)> handler;
};

// Creates a window from `layout` with `events` and shows it modally over the
// window that raised `click`; returns once the window has been closed.
struct WindowLayout;
using ModalWindowLoader =
    std::function<void(const EventArgs& click, const WindowLayout& layout, std::vector<EventBinding> events)>;

}  // namespace vantoip
