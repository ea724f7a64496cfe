// Building a window's controls from its layout: their places, styles and
// first contents, tab pages and the tab control's repainting.
#include "ui/window_win.h"

#include <commctrl.h>

#include <algorithm>

#include "net/tcp_client_win.h"
#include "runtime/encoding_win.h"
#include "runtime/system_win.h"
#include "ui/fonts_win.h"
#include "ui/messages_win.h"
#include "ui/picture_win.h"
#include "ui/transparent_repaint_win.h"

namespace vantoip {
namespace {

// A tab control paints its page under the transparent controls above it.
LRESULT CALLBACK TabControlProc(HWND tabs, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  if (message == WM_NCDESTROY) RemoveWindowSubclass(tabs, &TabControlProc, 1);
  if (message != WM_PAINT) return DefSubclassProc(tabs, message, wParam, lParam);
  RECT painted{};
  GetUpdateRect(tabs, &painted, FALSE);
  const LRESULT result = DefSubclassProc(tabs, message, wParam, lParam);
  RepaintTransparentAbove(tabs, painted);
  return result;
}

}  // namespace

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
    case ControlKind::PushButton:
      cls = WC_BUTTONW;
      style |= (l.name == layout_.defaultButton ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | BS_MULTILINE;
      break;
    case ControlKind::CheckBox: cls = WC_BUTTONW; style |= BS_AUTOCHECKBOX; break;
    case ControlKind::Edit:
      cls = WC_EDITW;
      style |= ES_AUTOHSCROLL | (l.lines > 1 ? ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL : 0);
      exStyle = WS_EX_CLIENTEDGE;
      break;
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
  if (!hwnd) {
    NoteFailure("CreateWindowExW " + layout_.name + "." + l.name, GetLastError());
    return;
  }
  control.hwnd = hwnd;
  control.placed = rc;
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
      control.rows = std::make_unique<ListRows>(hwnd, static_cast<int>(l.columns.size()) + l.keptColumns);
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
    case ControlKind::Edit:
      if (!l.hint.empty()) SendMessageW(hwnd, EM_SETCUEBANNER, FALSE, reinterpret_cast<LPARAM>(GbkToWide(l.hint).c_str()));
      break;
    default:
      break;
  }
}

Anchor Window::AnchorOf(const Control& control) const {
  for (const Control* c = &control; c; c = Find(c->layout.parent)) {
    if (c->layout.anchor == Anchor::Grow) return c == &control ? Anchor::Grow : Anchor::None;
    if (c->layout.anchor == Anchor::Bottom) return Anchor::Bottom;
  }
  return Anchor::None;
}

void Window::FollowSize(int width, int height) {
  const int dx = std::max(0, width - static_cast<int>(firstClient_.cx));
  const int dy = std::max(0, height - static_cast<int>(firstClient_.cy));
  HDWP moves = BeginDeferWindowPos(static_cast<int>(controls_.size()));
  for (const Control& c : controls_) {
    if (!c.hwnd) continue;
    RECT rc = c.placed;
    switch (AnchorOf(c)) {
      case Anchor::None: continue;
      case Anchor::Bottom: OffsetRect(&rc, 0, dy); break;
      case Anchor::Grow: rc.right += dx, rc.bottom += dy; break;
    }
    if (moves)
      moves = DeferWindowPos(moves, c.hwnd, nullptr, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top,
                             SWP_NOZORDER | SWP_NOACTIVATE);
  }
  if (moves) EndDeferWindowPos(moves);
  InvalidateRect(hwnd_, nullptr, TRUE);  // group boxes leave their inside to the window
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

}  // namespace vantoip
