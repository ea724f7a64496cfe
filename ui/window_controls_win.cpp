// The control operations of WindowControls: any thread may call them; reads
// wait for the window's thread, writes are posted to it.
#include "ui/window_win.h"

#include <commctrl.h>
#include <shobjidl.h>

#include <algorithm>

#include "net/tcp_client_win.h"
#include "runtime/encoding_win.h"
#include "ui/dispatcher_win.h"
#include "ui/notify_icon_win.h"
#include "ui/save_dialog_win.h"

namespace vantoip {
namespace {

std::wstring WindowTextOf(HWND hwnd) {
  const int n = GetWindowTextLengthW(hwnd);
  std::wstring text(n + 1, L'\0');
  text.resize(GetWindowTextW(hwnd, text.data(), n + 1));
  return text;
}

}  // namespace

std::string Window::Caption(const std::string& control) {
  std::string text;
  RunAndWait([&] {
    HWND target = control == kThisWindow ? hwnd_ : ControlHandle(control);
    if (target) text = WideToGbk(WindowTextOf(target));
  });
  return text;
}

void Window::SetCaption(const std::string& control, const std::string& text) {
  Post([this, control, text] {
    HWND target = control == kThisWindow ? hwnd_ : ControlHandle(control);
    if (!target) return;
    if (target == hwnd_) SyncLists();  // the title reports on rows written before it
    SetWindowTextW(target, GbkToWide(text).c_str());
    if (Control* c = Find(control); c && c->layout.kind == ControlKind::TransparentLabel) {
      // Nothing of a transparent label erases its old text: repaint what lies behind it.
      RECT rc;
      GetWindowRect(target, &rc);
      MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&rc), 2);
      RedrawWindow(hwnd_, &rc, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    }
  });
}

bool Window::Disabled(const std::string& control) {
  bool disabled = false;
  RunAndWait([&] {
    if (HWND target = ControlHandle(control)) disabled = !IsWindowEnabled(target);
  });
  return disabled;
}

void Window::SetDisabled(const std::string& control, bool disabled) {
  Post([this, control, disabled] {
    if (HWND target = ControlHandle(control)) EnableWindow(target, !disabled);
  });
}

bool Window::Checked(const std::string& box) {
  bool checked = false;
  RunAndWait([&] {
    if (HWND target = ControlHandle(box)) checked = SendMessageW(target, BM_GETCHECK, 0, 0) == BST_CHECKED;
  });
  return checked;
}

void Window::SetChecked(const std::string& box, bool checked) {
  Post([this, box, checked] {
    if (HWND target = ControlHandle(box)) SendMessageW(target, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  });
}

WindowPlace Window::Place() {
  WindowPlace place;
  RunAndWait([&] {
    WINDOWPLACEMENT wp{sizeof wp};
    if (!GetWindowPlacement(hwnd_, &wp)) return;
    // The placement's rectangle is in workspace coordinates: the monitor's work area, not the screen.
    const RECT r = wp.rcNormalPosition;
    MONITORINFO monitor{sizeof monitor};
    POINT shift{0, 0};
    if (GetMonitorInfoW(MonitorFromRect(&r, MONITOR_DEFAULTTONEAREST), &monitor))
      shift = {monitor.rcWork.left - monitor.rcMonitor.left, monitor.rcWork.top - monitor.rcMonitor.top};
    place = {r.left + shift.x, r.top + shift.y, r.right - r.left, r.bottom - r.top, wp.showCmd == SW_SHOWMAXIMIZED ||
             (wp.showCmd == SW_SHOWMINIMIZED && (wp.flags & WPF_RESTORETOMAXIMIZED))};
  });
  return place;
}

void Window::SetPlace(const WindowPlace& place) {
  Post([this, place] {
    RECT r{place.left, place.top, place.left + place.width, place.top + place.height};
    // Only where a monitor shows the title bar; elsewhere (a monitor gone) the size alone.
    const RECT titleBar{r.left, r.top, r.right, r.top + GetSystemMetrics(SM_CYCAPTION)};
    UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    if (!MonitorFromRect(&titleBar, MONITOR_DEFAULTTONULL)) flags |= SWP_NOMOVE;
    SetWindowPos(hwnd_, nullptr, r.left, r.top, place.width, place.height, flags);
    if (place.maximised) ShowWindow(hwnd_, SW_MAXIMIZE);
  });
}

std::vector<int> Window::ColumnWidths(const std::string& list) {
  std::vector<int> widths;
  RunAndWait([&] {
    const Control* c = Find(list);
    if (!c || !c->rows) return;
    for (std::size_t i = 0; i < c->layout.columns.size(); ++i)
      widths.push_back(static_cast<int>(SendMessageW(c->hwnd, LVM_GETCOLUMNWIDTH, i, 0)));
  });
  return widths;
}

void Window::SetColumnWidths(const std::string& list, const std::vector<int>& widths) {
  Post([this, list, widths] {
    const Control* c = Find(list);
    if (!c || !c->rows) return;
    for (std::size_t i = 0; i < widths.size() && i < c->layout.columns.size(); ++i)
      SendMessageW(c->hwnd, LVM_SETCOLUMNWIDTH, i, MAKELPARAM(widths[i], 0));
  });
}

bool Window::Visible(const std::string& control) {
  bool visible = false;
  RunAndWait([&] {
    if (HWND target = control == kThisWindow ? hwnd_ : ControlHandle(control)) visible = IsWindowVisible(target);
  });
  return visible;
}

void Window::SetVisible(const std::string& control, bool visible) {
  Post([this, control, visible] {
    if (control != kThisWindow) {
      if (HWND target = ControlHandle(control)) ShowWindow(target, visible ? SW_SHOW : SW_HIDE);
    } else if (!visible) {
      ShowWindow(hwnd_, SW_HIDE);
    } else {
      ShowWindow(hwnd_, IsIconic(hwnd_) ? SW_RESTORE : SW_SHOW);
      SetForegroundWindow(hwnd_);
    }
  });
}

void Window::Close() {
  Post([this] { PostMessageW(hwnd_, WM_CLOSE, 0, 0); });
}

int Window::Interval(const std::string& timer) {
  int interval = 0;
  RunAndWait([&] {
    if (Control* c = Find(timer)) interval = c->interval;
  });
  return interval;
}

void Window::SetInterval(const std::string& timer, int milliseconds) {
  Post([this, timer, milliseconds] {
    Control* c = Find(timer);
    if (!c || c->layout.kind != ControlKind::Timer) return;
    c->interval = milliseconds > 0 ? milliseconds : 0;
    if (c->interval) SetTimer(hwnd_, c->id, c->interval, nullptr);
    else KillTimer(hwnd_, c->id);
  });
}

int Window::CurrentRow(const std::string& list) {
  int row = -1;
  RunAndWait([&] {
    SyncLists();  // a selection is only ever among rows the view shows
    if (Control* c = Find(list); c && c->rows) row = c->rows->RowAt(ListView_GetNextItem(c->hwnd, -1, LVNI_SELECTED));
  });
  return row;
}

// A list fills with thousands of these: on the window's thread they are
// carried out at once, without a copy of their arguments.
void Window::InsertRow(const std::string& list) {
  if (!UiDispatcher::OnUiThread()) return Post([this, list] { InsertRow(list); });
  ListRows* rows = Alive() ? RowsOf(list) : nullptr;
  if (!rows) return;
  rows->Append();
  ScheduleListSync();
}

void Window::SetCellText(const std::string& list, int row, int column, const std::string& text) {
  if (!UiDispatcher::OnUiThread()) return Post([this, list, row, column, text] { SetCellText(list, row, column, text); });
  ListRows* rows = Alive() ? RowsOf(list) : nullptr;
  if (!rows) return;
  rows->SetCell(row, column, GbkToWide(text));
  ScheduleListSync();  // one redraw for the cells of a whole slice
}

std::string Window::GetCellText(const std::string& list, int row, int column) {
  std::string text;
  RunAndWait([&] {
    if (ListRows* rows = RowsOf(list))
      text = WideToGbk(rows->Cell(row, column));
  });
  return text;
}

void Window::DeleteAllRows(const std::string& list) {
  Post([this, list] {
    if (ListRows* rows = RowsOf(list)) {
      rows->Clear();
      rows->SyncView();
    }
  });
}

int Window::RowCount(const std::string& list) {
  int count = 0;
  RunAndWait([&] {
    if (ListRows* rows = RowsOf(list)) count = rows->Count();
  });
  return count;
}

void Window::SortRows(const std::string& list, int column, bool ascending, std::function<bool(int, int)> less) {
  Post([this, list, column, ascending, less = std::move(less)] {
    Control* c = Find(list);
    if (!c || !c->rows) return;
    SyncLists();
    c->rows->Sort(less);
    c->rows->SyncView();
    // The arrow in the heading of the sorted column, none elsewhere.
    HWND header = ListView_GetHeader(c->hwnd);
    for (int i = 0; i < Header_GetItemCount(header); ++i) {
      HDITEMW item{};
      item.mask = HDI_FORMAT;
      SendMessageW(header, HDM_GETITEMW, i, reinterpret_cast<LPARAM>(&item));
      item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
      if (i == column) item.fmt |= ascending ? HDF_SORTUP : HDF_SORTDOWN;
      SendMessageW(header, HDM_SETITEMW, i, reinterpret_cast<LPARAM>(&item));
    }
  });
}

void Window::FilterRows(const std::string& list, std::function<bool(int)> shown) {
  Post([this, list, shown = std::move(shown)] {
    if (ListRows* rows = RowsOf(list)) {
      SyncLists();
      rows->Filter(shown);
      rows->SyncView();
    }
  });
}

void Window::SelectRow(const std::string& list, int row) {
  Post([this, list, row] {
    Control* c = Find(list);
    if (!c || !c->rows) return;
    SyncLists();
    const int place = c->rows->PlaceOf(row);
    if (place < 0) return;
    ListView_SetItemState(c->hwnd, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_SetItemState(c->hwnd, place, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_EnsureVisible(c->hwnd, place, FALSE);
  });
}

int Window::ShowMenu(const std::vector<MenuItem>& items) {
  int chosen = 0;
  RunAndWait([&] {
    MenuHandle menu(CreatePopupMenu());
    if (!menu) return;
    for (const MenuItem& item : items) {
      if (item.command == 0) {
        AppendMenuW(menu.Get(), MF_SEPARATOR, 0, nullptr);
        continue;
      }
      const UINT flags = MF_STRING | (item.checked ? MF_CHECKED : 0) | (item.enabled ? 0 : MF_GRAYED);
      AppendMenuW(menu.Get(), flags, item.command, GbkToWide(item.text).c_str());
    }
    POINT at;
    GetCursorPos(&at);
    SetForegroundWindow(hwnd_);  // so that a click elsewhere closes the menu
    chosen = static_cast<int>(
        TrackPopupMenu(menu.Get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0, hwnd_, nullptr));
    PostMessageW(hwnd_, WM_NULL, 0, 0);  // a menu of the notification icon closes at the next click elsewhere
  });
  return chosen;
}

void Window::SetProgress(int done, int total) {
  Post([this, done, total] {
    if (!taskbarTried_) {
      taskbarTried_ = true;
      taskbar_ = CoCreate<ITaskbarList3>(CLSID_TaskbarList, CLSCTX_INPROC_SERVER);
      if (taskbar_ && FAILED(taskbar_->HrInit())) taskbar_.Reset();
    }
    if (!taskbar_) return;  // the system has no such taskbar
    taskbar_->SetProgressState(hwnd_, total > 0 ? TBPF_NORMAL : TBPF_NOPROGRESS);
    if (total > 0) taskbar_->SetProgressValue(hwnd_, done, total);
  });
}

bool Window::CopyText(const std::string& text) {
  bool copied = false;
  RunAndWait([&] {
    const std::wstring wide = GbkToWide(text);
    GlobalMemory memory(GlobalAlloc(GMEM_MOVEABLE, (wide.size() + 1) * sizeof(wchar_t)));
    if (!memory) return;
    if (void* bytes = GlobalLock(memory.Get())) {
      std::copy_n(wide.c_str(), wide.size() + 1, static_cast<wchar_t*>(bytes));
      GlobalUnlock(memory.Get());
    }
    if (OpenClipboard(hwnd_)) {
      EmptyClipboard();
      copied = SetClipboardData(CF_UNICODETEXT, memory.Get()) != nullptr;
      if (copied) memory.Release();  // the clipboard owns it from here
      CloseClipboard();
    }
  });
  return copied;
}

void Window::SetTrayTip(const std::string& tip) {
  Post([this, tip = GbkToWide(tip)] {
    if (!trayIcon_) trayIcon_ = std::make_unique<NotifyIcon>(hwnd_);
    trayIcon_->SetTip(tip);
  });
}

void Window::ShowTrayBalloon(const std::string& text) {
  Post([this, text = GbkToWide(text)] {
    if (!trayIcon_) trayIcon_ = std::make_unique<NotifyIcon>(hwnd_);
    trayIcon_->ShowBalloon(L"Vantoip", text);
  });
}

std::optional<std::string> Window::SaveText(const std::string& suggestedName, const std::string& bytes) {
  std::optional<std::string> outcome;
  RunAndWait([&] { outcome = SaveWithDialog(hwnd_, suggestedName, bytes); });
  return outcome;
}

bool Window::ConnectClient(const std::string& client, const std::string& host, int port) {
  // The connect blocks for as long as it takes: find the control on the UI
  // thread, connect on the calling one. The client lives as long as the window object.
  TcpClient* tcp = nullptr;
  auto self = shared_from_this();
  RunAndWait([&] {
    if (Control* c = Find(client)) tcp = c->client.get();
  });
  return tcp && tcp->Connect(host, port);
}

}  // namespace vantoip
