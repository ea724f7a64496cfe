#include "ui/window_win.h"

#include <commctrl.h>
#include <shobjidl.h>
#include <windowsx.h>

#include <algorithm>

#include "net/tcp_client_win.h"
#include "runtime/encoding_win.h"
#include "ui/dispatcher_win.h"
#include "ui/fonts_win.h"
#include "ui/messages_win.h"
#include "ui/notify_icon_win.h"
#include "ui/picture_win.h"
#include "ui/save_dialog_win.h"

namespace vantoip {
namespace {

constexpr wchar_t kWindowClass[] = L"VantoipWindow";
constexpr int kFirstControlId = 1000;  // clear of IDOK/IDCANCEL, which the dialog manager sends
constexpr UINT_PTR kListSyncTimer = 1;  // timer controls use their control ids
constexpr auto kCountSyncPace = std::chrono::milliseconds(100);
constexpr auto kIdleCountSyncPace = std::chrono::milliseconds(30);

// Windows alive, touched on the UI thread only.
std::map<HWND, std::shared_ptr<Window>>& LiveWindows() {
  static std::map<HWND, std::shared_ptr<Window>> windows;
  return windows;
}

bool RegisterWindowClass() {
  static const ATOM atom = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;  // replaced per window once its object exists
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszClassName = kWindowClass;
    return RegisterClassW(&wc);
  }();
  return atom != 0;
}

std::wstring WindowTextOf(HWND hwnd) {
  const int n = GetWindowTextLengthW(hwnd);
  std::wstring text(n + 1, L'\0');
  text.resize(GetWindowTextW(hwnd, text.data(), n + 1));
  return text;
}

int KeyMask(WPARAM flags) {
  return ((flags & MK_CONTROL) ? 1 : 0) | ((flags & MK_SHIFT) ? 2 : 0) | (GetKeyState(VK_MENU) < 0 ? 4 : 0);
}

// A tab control paints its page under the transparent controls above it
// (they are not clipped out): once it has painted, they paint again on top.
LRESULT CALLBACK TabControlProc(HWND tabs, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  if (message == WM_NCDESTROY) RemoveWindowSubclass(tabs, &TabControlProc, 1);
  if (message != WM_PAINT) return DefSubclassProc(tabs, message, wParam, lParam);
  RECT painted{};
  GetUpdateRect(tabs, &painted, FALSE);
  const LRESULT result = DefSubclassProc(tabs, message, wParam, lParam);
  MapWindowPoints(tabs, nullptr, reinterpret_cast<POINT*>(&painted), 2);
  for (HWND above = GetWindow(tabs, GW_HWNDPREV); above; above = GetWindow(above, GW_HWNDPREV)) {
    RECT r, overlap;
    if (!(GetWindowLongW(above, GWL_EXSTYLE) & WS_EX_TRANSPARENT) || !IsWindowVisible(above)) continue;
    GetWindowRect(above, &r);
    if (!IntersectRect(&overlap, &r, &painted)) continue;
    MapWindowPoints(nullptr, above, reinterpret_cast<POINT*>(&overlap), 2);
    InvalidateRect(above, &overlap, FALSE);
  }
  return result;
}

}  // namespace

Window::Window(const WindowLayout& layout, std::vector<EventBinding> events)
    : layout_(layout), events_(std::move(events)) {}

Window::~Window() = default;

std::shared_ptr<Window> Window::Create(const WindowLayout& layout, std::vector<EventBinding> events, HWND owner) {
  if (!UiDispatcher::Start() || !RegisterWindowClass()) return nullptr;
  auto window = std::make_shared<Window>(layout, std::move(events));
  // No WS_CLIPCHILDREN: group boxes do not paint their inside, the window does.
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  HWND hwnd = CreateWindowExW(WS_EX_CONTROLPARENT, kWindowClass, GbkToWide(layout.title).c_str(), style,
                              layout.left, layout.top, layout.width, layout.height, owner, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
  if (!hwnd) return nullptr;
  window->hwnd_ = hwnd;
  LiveWindows()[hwnd] = window;
  SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window.get()));
  SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Window::WindowProc));
  if (!window->CreateControls()) {
    DestroyWindow(hwnd);
    return nullptr;
  }
  window->Raise(kThisWindow, EventKind::Created);
  if (!window->Alive()) return nullptr;  // the handler closed it
  ShowWindow(hwnd, SW_SHOWNORMAL);
  UpdateWindow(hwnd);
  return window;
}

std::shared_ptr<Window> Window::FromHandle(HWND hwnd) {
  const auto it = LiveWindows().find(hwnd);
  return it == LiveWindows().end() ? nullptr : it->second;
}

int Window::LiveCount() { return static_cast<int>(LiveWindows().size()); }

RECT Window::ControlRect(const ControlLayout& layout) const {
  RECT rc{layout.left, layout.top, layout.left + layout.width, layout.top + layout.height};
  if (layout.parent.empty()) return rc;
  const Control* parent = Find(layout.parent);
  if (!parent || !parent->hwnd) return rc;
  // The parent's top left in window client coordinates. On a tab control
  // that is its own corner, tab strip included: the layouts place a page's
  // controls below the strip themselves.
  POINT origin{0, 0};
  MapWindowPoints(parent->hwnd, hwnd_, &origin, 1);
  OffsetRect(&rc, origin.x, origin.y);
  return rc;
}

bool Window::CreateControls() {
  controls_.reserve(layout_.controls.size());
  // Parents may follow their children in the table; create parents first so
  // that positions can be resolved, keeping table order among the rest.
  for (const ControlLayout& c : layout_.controls) controls_.push_back(Control{c, nullptr, 0, 0, nullptr, nullptr});
  for (std::size_t i = 0; i < controls_.size(); ++i) controls_[i].id = kFirstControlId + static_cast<int>(i);
  auto isParent = [&](const Control& c) {
    for (const Control& other : controls_)
      if (other.layout.parent == c.layout.name) return true;
    return false;
  };
  // Containers may sit in containers (a group box on a tab control): the
  // outer ones are created first.
  auto depthOf = [&](const Control* c) {
    int depth = 0;
    for (const ControlLayout* p = FindControl(layout_, c->layout.parent);
         p && depth < static_cast<int>(controls_.size()); p = FindControl(layout_, p->parent))
      ++depth;
    return depth;
  };
  std::vector<Control*> containers;
  for (Control& c : controls_)
    if (isParent(c)) containers.push_back(&c);
  std::stable_sort(containers.begin(), containers.end(),
                   [&](const Control* a, const Control* b) { return depthOf(a) < depthOf(b); });
  for (Control* c : containers) CreateControl(*c);
  for (Control& c : controls_)
    if (!isParent(c)) CreateControl(c);
  // Tab order is sibling order: put every control in table order, containers
  // at the bottom so that they never paint over what lies inside them, the
  // outermost lowest.
  HWND previous = HWND_TOP;
  for (Control& c : controls_) {
    if (!c.hwnd || isParent(c)) continue;
    SetWindowPos(c.hwnd, previous, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    previous = c.hwnd;
  }
  std::stable_sort(containers.begin(), containers.end(),
                   [&](const Control* a, const Control* b) { return depthOf(a) > depthOf(b); });
  for (Control* c : containers)
    if (c->hwnd) SetWindowPos(c->hwnd, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  for (const Control& c : controls_)
    if (c.layout.kind == ControlKind::TabControl) ShowTabPage(c);
  for (const Control& c : controls_) {
    const bool shown = c.layout.kind != ControlKind::Timer && c.layout.kind != ControlKind::TcpClient;
    if (shown && !c.hwnd) return false;
  }
  return true;
}

void Window::CreateControl(Control& control) {
  const ControlLayout& l = control.layout;
  const std::wstring caption = GbkToWide(l.caption);
  DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | (l.tabStop ? WS_TABSTOP : 0);
  const wchar_t* cls = nullptr;
  DWORD exStyle = 0;
  switch (l.kind) {
    case ControlKind::Timer:
      return;
    case ControlKind::TcpClient:
      control.client = std::make_unique<TcpClient>(hwnd_, kSocketNotification);
      return;
    // A caption wider than its button goes on several lines rather than being cut.
    case ControlKind::PushButton: cls = WC_BUTTONW; style |= BS_PUSHBUTTON | BS_MULTILINE; break;
    case ControlKind::GroupBox:
      cls = WC_BUTTONW;
      style |= BS_GROUPBOX;
      // A group box does not paint its inside: on a tab control the page has to show through.
      if (const ControlLayout* parent = FindControl(layout_, l.parent); parent && parent->kind == ControlKind::TabControl)
        exStyle = WS_EX_TRANSPARENT;
      break;
    case ControlKind::Label: cls = WC_STATICW; style |= SS_LEFT | SS_NOTIFY; break;
    case ControlKind::TransparentLabel: cls = WC_STATICW; style |= SS_LEFT | SS_NOTIFY; exStyle = WS_EX_TRANSPARENT; break;
    case ControlKind::ListView:
      cls = WC_LISTVIEWW;
      style |= LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_OWNERDATA;
      exStyle = WS_EX_CLIENTEDGE;
      break;
    case ControlKind::TabControl: cls = WC_TABCONTROLW; break;
    case ControlKind::PictureBox: cls = PictureBoxClass(); break;
  }
  const RECT rc = ControlRect(l);
  HWND hwnd = CreateWindowExW(exStyle, cls, caption.c_str(), style, rc.left, rc.top, rc.right - rc.left,
                              rc.bottom - rc.top, hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)),
                              GetModuleHandleW(nullptr), nullptr);
  if (!hwnd) return;
  control.hwnd = hwnd;
  SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(l.font)), FALSE);
  switch (l.kind) {
    case ControlKind::Label:
    case ControlKind::TransparentLabel:
      SetWindowSubclass(hwnd, &Window::LabelProc, 1, reinterpret_cast<DWORD_PTR>(this));
      break;
    case ControlKind::ListView: {
      ListView_SetExtendedListViewStyle(hwnd, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
      ListView_SetTextColor(hwnd, RGB(0, 0, 0));
      ListView_SetBkColor(hwnd, RGB(255, 255, 255));
      ListView_SetTextBkColor(hwnd, RGB(255, 255, 255));
      for (std::size_t i = 0; i < l.columns.size(); ++i) {
        std::wstring heading = GbkToWide(l.columns[i].heading);
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        column.fmt = l.columns[i].alignment == Alignment::Centre ? LVCFMT_CENTER : LVCFMT_LEFT;
        column.cx = l.columns[i].width;
        column.pszText = heading.data();
        SendMessageW(hwnd, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
      }
      control.rows = std::make_unique<ListRows>(hwnd, static_cast<int>(l.columns.size()));
      break;
    }
    case ControlKind::TabControl:
      SetWindowSubclass(hwnd, &TabControlProc, 1, 0);
      for (std::size_t i = 0; i < l.tabs.size(); ++i) {
        std::wstring text = GbkToWide(l.tabs[i]);
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = text.data();
        SendMessageW(hwnd, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
      }
      break;
    case ControlKind::PictureBox:
      if (!l.picture.empty()) SetStoredPicture(hwnd, l.picture);
      break;
    default:
      break;
  }
}

void Window::ShowTabPage(const Control& tabControl) {
  const int page = TabCtrl_GetCurSel(tabControl.hwnd);
  // A control is on a page when it, or the container it sits in, names that page.
  auto pageOf = [&](const Control& c) {
    for (const Control* p = &c; p; p = Find(p->layout.parent))
      if (p->layout.parent == tabControl.layout.name) return p->layout.tab;
    return -2;  // not on this tab control
  };
  for (const Control& c : controls_) {
    const int onPage = pageOf(c);
    if (onPage != -2 && c.hwnd) ShowWindow(c.hwnd, onPage == page ? SW_SHOW : SW_HIDE);
  }
}

void Window::Raise(const std::string& control, EventKind kind, const EventArgs& args) {
  EventArgs withWindow = args;
  withWindow.window = shared_from_this();  // also keeps this alive while a handler closes the window
  for (const EventBinding& e : events_)
    if (e.kind == kind && e.control == control && e.handler) e.handler(withWindow);
}

const Window::Control* Window::Find(const std::string& name) const {
  for (const Control& c : controls_)
    if (c.layout.name == name) return &c;
  return nullptr;
}

ListRows* Window::RowsOf(const std::string& list) {
  Control* c = Find(list);
  return c ? c->rows.get() : nullptr;
}

void Window::SyncLists(bool paced) {
  using namespace std::chrono;
  listSyncScheduled_ = false;
  const steady_clock::time_point now = steady_clock::now();
  // While rows keep coming, not more often than every 100 ms; when none wait, soon.
  const milliseconds pace = UiDispatcher::Idle() ? kIdleCountSyncPace : kCountSyncPace;
  const bool countDue = !paced || now - lastCountSync_ >= pace;
  bool owed = false;
  for (Control& c : controls_)
    if (c.rows) owed = c.rows->SyncView(countDue) || owed;
  if (countDue) lastCountSync_ = now;
  if (owed) {
    const auto wait = duration_cast<milliseconds>(pace - (now - lastCountSync_));
    SetTimer(hwnd_, kListSyncTimer, static_cast<UINT>(std::max<milliseconds::rep>(wait.count(), USER_TIMER_MINIMUM)), nullptr);
  } else {
    KillTimer(hwnd_, kListSyncTimer);
  }
}

void Window::ScheduleListSync() {
  // Posted behind the queued work now running: one sync for a whole slice of appends.
  if (!listSyncScheduled_) listSyncScheduled_ = PostMessageW(hwnd_, kSyncListViews, 0, 0) != FALSE;
}

Window::Control* Window::FindById(int id) {
  const int index = id - kFirstControlId;
  return index >= 0 && index < static_cast<int>(controls_.size()) ? &controls_[index] : nullptr;
}

HWND Window::ControlHandle(const std::string& name) const {
  const Control* c = Find(name);
  return c ? c->hwnd : nullptr;
}

LRESULT CALLBACK Window::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* window = reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!window) return DefWindowProcW(hwnd, message, wParam, lParam);
  return window->HandleMessage(message, wParam, lParam);
}

LRESULT CALLBACK Window::LabelProc(HWND label, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                   DWORD_PTR owner) {
  // A label's class takes double clicks: the second of two quick presses
  // arrives as a double click, and it is a press all the same.
  if (message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK) {
    auto* window = reinterpret_cast<Window*>(owner);
    if (Control* c = window->FindById(GetDlgCtrlID(label)))
      window->Raise(c->layout.name, EventKind::MouseDown,
                    {nullptr, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), KeyMask(wParam)});
  } else if (message == WM_NCDESTROY) {
    RemoveWindowSubclass(label, &Window::LabelProc, 1);
  }
  return DefSubclassProc(label, message, wParam, lParam);
}

LRESULT Window::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED)
        if (Control* c = FindById(LOWORD(wParam)); c && c->layout.kind == ControlKind::PushButton)
          Raise(c->layout.name, EventKind::Click);
      return 0;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      Control* c = FindById(static_cast<int>(header->idFrom));
      if (!c) break;
      if (c->rows && header->code == LVN_GETDISPINFOW) c->rows->Fill(*reinterpret_cast<NMLVDISPINFOW*>(lParam));
      if (c->rows && header->code == NM_CLICK) Raise(c->layout.name, EventKind::ListClick);
      if (c->rows && header->code == LVN_COLUMNCLICK) {
        EventArgs args;
        args.column = reinterpret_cast<const NMLISTVIEW*>(lParam)->iSubItem;
        Raise(c->layout.name, EventKind::HeaderClick, args);
      }
      if (c->layout.kind == ControlKind::TabControl && header->code == TCN_SELCHANGE) ShowTabPage(*c);
      return 0;
    }
    case WM_TIMER:
      if (wParam == kListSyncTimer) SyncLists(true);
      else if (Control* c = FindById(static_cast<int>(wParam))) Raise(c->layout.name, EventKind::Tick);
      return 0;
    case kSyncListViews:
      SyncLists(true);
      return 0;
    case WM_CONTEXTMENU:  // a right click or the menu key, passed up from a control
      if (Control* c = FindById(GetDlgCtrlID(reinterpret_cast<HWND>(wParam))); c && c->rows) {
        Raise(c->layout.name, EventKind::ListMenu);
        return 0;
      }
      break;
    case WM_CTLCOLORSTATIC: {
      HDC dc = reinterpret_cast<HDC>(wParam);
      Control* c = FindById(GetDlgCtrlID(reinterpret_cast<HWND>(lParam)));
      if (c && c->layout.kind == ControlKind::TransparentLabel) {
        SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
      }
      SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case kSocketNotification:
      for (Control& c : controls_)
        if (c.client) c.client->OnNotification(wParam, lParam);
      return 0;
    case WM_DESTROY:
      Raise(kThisWindow, EventKind::Destroying);
      trayIcon_.reset();  // the icon goes with the window
      break;
    case WM_NCDESTROY: {
      for (Control& c : controls_)
        if (c.interval) KillTimer(hwnd_, c.id);
      HWND hwnd = hwnd_;
      hwnd_ = nullptr;
      auto self = shared_from_this();
      LiveWindows().erase(hwnd);
      if (LiveWindows().empty()) {
        UiDispatcher::Stop();  // from now on worker calls fail fast
        PostQuitMessage(0);
      }
      return DefWindowProcW(hwnd, message, wParam, lParam);
    }
  }
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

bool Window::Read(const std::function<void()>& work) {
  bool ran = false;
  UiDispatcher::Run([&] {
    if (!Alive()) return;
    work();
    ran = true;
  });
  return ran;
}

void Window::Post(std::function<void()> work) {
  UiDispatcher::Post([self = shared_from_this(), work = std::move(work)] {
    if (self->Alive()) work();
  });
}

std::string Window::Caption(const std::string& control) {
  std::string text;
  Read([&] {
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
  Read([&] {
    if (HWND target = ControlHandle(control)) disabled = !IsWindowEnabled(target);
  });
  return disabled;
}

void Window::SetDisabled(const std::string& control, bool disabled) {
  Post([this, control, disabled] {
    if (HWND target = ControlHandle(control)) EnableWindow(target, !disabled);
  });
}

void Window::SetVisible(const std::string& control, bool visible) {
  Post([this, control, visible] {
    if (HWND target = ControlHandle(control)) ShowWindow(target, visible ? SW_SHOW : SW_HIDE);
  });
}

int Window::Interval(const std::string& timer) {
  int interval = 0;
  Read([&] {
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
  Read([&] {
    SyncLists();  // a selection is only ever among rows the view shows
    if (Control* c = Find(list); c && c->rows) row = c->rows->RowAt(ListView_GetNextItem(c->hwnd, -1, LVNI_SELECTED));
  });
  return row;
}

void Window::OnKeyDown(WPARAM key) {
  EventArgs args;
  args.key = static_cast<int>(key);
  args.keys = (GetKeyState(VK_CONTROL) < 0 ? 1 : 0) | (GetKeyState(VK_SHIFT) < 0 ? 2 : 0) | (GetKeyState(VK_MENU) < 0 ? 4 : 0);
  Raise(kThisWindow, EventKind::Key, args);
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
  Read([&] {
    if (ListRows* rows = RowsOf(list))
      text = WideToGbk(rows->Cell(row, column));
  });
  return text;
}

void Window::DeleteAllRows(const std::string& list) {
  Post([this, list] {
    if (ListRows* rows = RowsOf(list)) rows->Clear();
  });
}

int Window::RowCount(const std::string& list) {
  int count = 0;
  Read([&] {
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
  Read([&] {
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
  });
  return chosen;
}

void Window::SetProgress(int done, int total) {
  Post([this, done, total] {
    if (!taskbarTried_) {
      taskbarTried_ = true;
      ITaskbarList3* list = nullptr;
      if (SUCCEEDED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                     reinterpret_cast<void**>(&list)))) {
        taskbar_.Reset(list);
        if (FAILED(list->HrInit())) taskbar_.Reset();
      }
    }
    auto* list = static_cast<ITaskbarList3*>(taskbar_.Get());
    if (!list) return;  // the system has no such taskbar
    list->SetProgressState(hwnd_, total > 0 ? TBPF_NORMAL : TBPF_NOPROGRESS);
    if (total > 0) list->SetProgressValue(hwnd_, done, total);
  });
}

bool Window::CopyText(const std::string& text) {
  bool copied = false;
  Read([&] {
    const std::wstring wide = GbkToWide(text);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (wide.size() + 1) * sizeof(wchar_t));
    if (!memory) return;
    if (void* bytes = GlobalLock(memory)) {
      std::copy_n(wide.c_str(), wide.size() + 1, static_cast<wchar_t*>(bytes));
      GlobalUnlock(memory);
    }
    if (OpenClipboard(hwnd_)) {
      EmptyClipboard();
      copied = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;  // the clipboard owns it from here
      CloseClipboard();
    }
    if (!copied) GlobalFree(memory);
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
  Read([&] { outcome = SaveWithDialog(hwnd_, suggestedName, bytes); });
  return outcome;
}

bool Window::ConnectClient(const std::string& client, const std::string& host, int port) {
  // The connect blocks for as long as it takes: find the control on the UI
  // thread, connect on the calling one. The client lives as long as the window object.
  TcpClient* tcp = nullptr;
  auto self = shared_from_this();
  Read([&] {
    if (Control* c = Find(client)) tcp = c->client.get();
  });
  return tcp && tcp->Connect(host, port);
}

}  // namespace vantoip
