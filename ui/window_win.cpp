// The window: made from its layout, its window procedure and its lifetime;
// the building of controls and the control operations are in
// window_build_win.cpp and window_controls_win.cpp.
#include "ui/window_win.h"

#include <commctrl.h>
#include <windowsx.h>

#include "net/tcp_client_win.h"
#include "runtime/encoding_win.h"
#include "runtime/system_win.h"
#include "ui/dispatcher_win.h"
#include "ui/messages_win.h"
#include "ui/notify_icon_win.h"

namespace vantoip {
namespace {

constexpr wchar_t kWindowClass[] = L"VantoipWindow";
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

// Focus as the dialog manager gives it: a field's text all selected, ready to be typed over.
void FocusControl(HWND control) {
  SetFocus(control);
  if (SendMessageW(control, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) SendMessageW(control, EM_SETSEL, 0, -1);
}

// An event's keys held down: 1 Ctrl, 2 Shift, 4 Alt.
int KeyMask(bool control, bool shift) {
  return (control ? 1 : 0) | (shift ? 2 : 0) | (GetKeyState(VK_MENU) < 0 ? 4 : 0);
}

}  // namespace

Window::Window(const WindowLayout& layout, std::vector<EventBinding> events)
    : layout_(layout), events_(std::move(events)) {}

Window::~Window() = default;

std::shared_ptr<Window> Window::Create(const WindowLayout& layout, std::vector<EventBinding> events, HWND owner) {
  if (!UiDispatcher::Start() || !RegisterWindowClass()) return nullptr;
  auto window = std::make_shared<Window>(layout, std::move(events));
  // No WS_CLIPCHILDREN: group boxes do not paint their inside, the window does.
  constexpr DWORD kFixed = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  const DWORD style = layout.resizable ? kFixed | WS_THICKFRAME | WS_MAXIMIZEBOX : kFixed;
  WindowHandle created(CreateWindowExW(WS_EX_CONTROLPARENT, kWindowClass, GbkToWide(layout.title).c_str(), style,
                                       layout.left, layout.top, layout.width, layout.height, owner, nullptr,
                                       GetModuleHandleW(nullptr), nullptr));
  if (!created) {
    NoteFailure("CreateWindowExW " + layout.name, GetLastError());
    return nullptr;
  }
  const HWND hwnd = created.Get();
  window->hwnd_ = hwnd;
  LiveWindows()[hwnd] = window;
  SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window.get()));
  SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Window::WindowProc));
  RECT client{};
  GetClientRect(hwnd, &client);
  window->firstClient_ = {client.right, client.bottom};
  if (!window->CreateControls()) return nullptr;
  created.Release();  // from here it lives until it is closed
  window->Raise(kThisWindow, EventKind::Created);
  if (!window->Alive()) return nullptr;  // the handler closed it
  ShowWindow(hwnd, SW_SHOWNORMAL);
  UpdateWindow(hwnd);
  // A dialog's keys work from the start: Tab, access keys, typing into its first field.
  if (!layout.defaultButton.empty())
    if (HWND first = GetNextDlgTabItem(hwnd, nullptr, FALSE)) FocusControl(first);
  return window;
}

std::shared_ptr<Window> Window::FromHandle(HWND hwnd) {
  const auto it = LiveWindows().find(hwnd);
  return it == LiveWindows().end() ? nullptr : it->second;
}

int Window::LiveCount() { return static_cast<int>(LiveWindows().size()); }

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
                    {nullptr, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), KeyMask(wParam & MK_CONTROL, wParam & MK_SHIFT)});
  } else if (message == WM_NCDESTROY) {
    RemoveWindowSubclass(label, &Window::LabelProc, 1);
  }
  return DefSubclassProc(label, message, wParam, lParam);
}

LRESULT Window::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == AnotherStartMessage()) {
    EventArgs args;
    args.key = static_cast<int>(wParam);
    Raise(kThisWindow, EventKind::AnotherStart, args);
    return 0;
  }
  switch (message) {
    case WM_COMMAND:
      // Enter and Esc, as the dialog manager sends them.
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        const std::string& button = LOWORD(wParam) == IDOK ? layout_.defaultButton : layout_.cancelButton;
        if (const Control* c = Find(button); c && IsWindowEnabled(c->hwnd)) Raise(button, EventKind::Click);
      } else if (HIWORD(wParam) == BN_CLICKED) {
        if (Control* c = FindById(LOWORD(wParam));
            c && (c->layout.kind == ControlKind::PushButton || c->layout.kind == ControlKind::CheckBox))
          Raise(c->layout.name, EventKind::Click);
      }
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
      if (c && c->layout.warning) SetTextColor(dc, RGB(204, 0, 0));
      SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_NEXTDLGCTL: {
      // The dialog manager moves the focus with it (an access key of a label: the field after it).
      HWND target = LOWORD(lParam) ? reinterpret_cast<HWND>(wParam) : GetNextDlgTabItem(hwnd_, GetFocus(), wParam != 0);
      if (target) FocusControl(target);
      return 0;
    }
    case WM_ACTIVATE:
      // The control that had the focus has it again when the window comes back.
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        focus_ = focus && IsChild(hwnd_, focus) ? focus : nullptr;
      } else if (focus_ && IsWindow(focus_) && IsChild(hwnd_, focus_)) {
        SetFocus(focus_);
        return 0;
      }
      break;
    case WM_SIZE:
      if (wParam == SIZE_MINIMIZED) Raise(kThisWindow, EventKind::Minimised);
      else if (layout_.resizable && !controls_.empty()) FollowSize(LOWORD(lParam), HIWORD(lParam));
      break;
    case WM_GETMINMAXINFO:
      if (layout_.resizable) {
        auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
        limits->ptMinTrackSize = {layout_.width, layout_.height};
        return 0;
      }
      break;
    case kSocketNotification:
      for (Control& c : controls_)
        if (c.client) c.client->OnNotification(wParam, lParam);
      return 0;
    case kTrayIconMouse:
      if (lParam == WM_LBUTTONUP) Raise(kThisWindow, EventKind::TrayClick);
      if (lParam == WM_RBUTTONUP) Raise(kThisWindow, EventKind::TrayMenu);
      return 0;
    case WM_ENDSESSION:
      if (wParam) Raise(kThisWindow, EventKind::SessionEnding);
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

bool Window::RunAndWait(const std::function<void()>& work) {
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

void Window::OnKeyDown(WPARAM key) {
  EventArgs args;
  args.key = static_cast<int>(key);
  args.keys = KeyMask(GetKeyState(VK_CONTROL) < 0, GetKeyState(VK_SHIFT) < 0);
  Raise(kThisWindow, EventKind::Key, args);
}

}  // namespace vantoip
