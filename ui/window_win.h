// A program window built from its layout, with its controls and events.
#pragma once

#include <windows.h>
#include <shobjidl.h>

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "runtime/handle_win.h"
#include "ui/layout.h"
#include "ui/list_rows_win.h"
#include "ui/window_controls.h"

namespace vantoip {

class NotifyIcon;

class TcpClient;

class Window final : public WindowControls, public std::enable_shared_from_this<Window> {
 public:
  // Creates the window and its controls (containers first, outermost first,
  // then the rest in layout order), delivers Created,
  // then shows it. Null when the window cannot be created. On the UI thread.
  static std::shared_ptr<Window> Create(const WindowLayout& layout, std::vector<EventBinding> events,
                                        HWND owner = nullptr);

  // The window of a program window handle, or null.
  static std::shared_ptr<Window> FromHandle(HWND hwnd);
  // Number of program windows alive.
  static int LiveCount();

  HWND Handle() const { return hwnd_; }
  HWND ControlHandle(const std::string& name) const;  // UI thread
  bool Alive() const { return hwnd_ != nullptr; }     // UI thread

  std::string Caption(const std::string& control) override;
  void SetCaption(const std::string& control, const std::string& text) override;
  bool Disabled(const std::string& control) override;
  void SetDisabled(const std::string& control, bool disabled) override;
  bool Visible(const std::string& control) override;
  void SetVisible(const std::string& control, bool visible) override;
  void Close() override;
  WindowPlace Place() override;
  void SetPlace(const WindowPlace& place) override;
  std::vector<int> ColumnWidths(const std::string& list) override;
  void SetColumnWidths(const std::string& list, const std::vector<int>& widths) override;
  bool Checked(const std::string& box) override;
  void SetChecked(const std::string& box, bool checked) override;
  int Interval(const std::string& timer) override;
  void SetInterval(const std::string& timer, int milliseconds) override;
  int CurrentRow(const std::string& list) override;
  void InsertRow(const std::string& list) override;
  void SetCellText(const std::string& list, int row, int column, const std::string& text) override;
  std::string GetCellText(const std::string& list, int row, int column) override;
  void DeleteAllRows(const std::string& list) override;
  int RowCount(const std::string& list) override;
  void SortRows(const std::string& list, int column, bool ascending, std::function<bool(int, int)> less) override;
  void FilterRows(const std::string& list, std::function<bool(int)> shown) override;
  void SelectRow(const std::string& list, int row) override;
  int ShowMenu(const std::vector<MenuItem>& items) override;
  void SetProgress(int done, int total) override;
  bool CopyText(const std::string& text) override;
  std::optional<std::string> SaveText(const std::string& suggestedName, const std::string& bytes) override;
  void SetTrayTip(const std::string& tip) override;
  void ShowTrayBalloon(const std::string& text) override;
  bool ConnectClient(const std::string& client, const std::string& host, int port) override;
  void Post(std::function<void()> work) override;

  // A key went down in the window or one of its controls (UI thread).
  void OnKeyDown(WPARAM key);

  Window(const WindowLayout& layout, std::vector<EventBinding> events);  // use Create
  ~Window() override;

 private:
  static constexpr int kFirstControlId = 1000;  // clear of IDOK/IDCANCEL, which the dialog manager sends
  struct Control {
    ControlLayout layout;
    HWND hwnd = nullptr;
    int id = 0;
    int interval = 0;
    std::unique_ptr<TcpClient> client;
    std::unique_ptr<ListRows> rows;  // list views
    RECT placed{};  // where it was made, in the window's client coordinates at its first size
  };

  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK LabelProc(HWND label, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                    DWORD_PTR owner);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  bool CreateControls();
  void CreateControl(Control& control);
  RECT ControlRect(const ControlLayout& layout) const;
  // A resizable window's controls follow its new client size.
  void FollowSize(int width, int height);
  Anchor AnchorOf(const Control& control) const;
  void ShowTabPage(const Control& tabControl);
  void Raise(const std::string& control, EventKind kind, const EventArgs& args = {});
  const Control* Find(const std::string& name) const;
  Control* Find(const std::string& name) {
    return const_cast<Control*>(std::as_const(*this).Find(name));
  }
  ListRows* RowsOf(const std::string& list);
  // List views learn of rows appended since they last did. Appends sync once
  // the queued writes that made them have run; a title shown after rows
  // syncs first, so that it never overtakes them.
  // `paced`: new rows reach a view at most every 100 ms while more queued
  // work waits, every 30 ms when none does (a timer brings the rest).
  void SyncLists(bool paced = false);
  void ScheduleListSync();
  Control* FindById(int id);
  // Runs `work` on the UI thread while the window is alive and waits for it
  // (reads, menus, dialogs, connecting a client); false when it did not run.
  bool RunAndWait(const std::function<void()>& work);

  WindowLayout layout_;
  std::vector<EventBinding> events_;
  HWND hwnd_ = nullptr;
  HWND focus_ = nullptr;     // the control with the focus when the window was last deactivated
  SIZE firstClient_{};       // the client area's size at creation
  std::vector<Control> controls_;
  bool listSyncScheduled_ = false;
  std::chrono::steady_clock::time_point lastCountSync_;
  ComPtr<ITaskbarList3> taskbar_;  // made at the first progress shown
  bool taskbarTried_ = false;
  std::unique_ptr<NotifyIcon> trayIcon_;  // made at the first tip or balloon
};

}  // namespace vantoip
