#include "skinlib/skinned_window_win.h"

#include <commctrl.h>
#include <windowsx.h>

#include "skinlib/window_chain_win.h"
#include "ui/transparent_repaint_win.h"

namespace vantoip::skin {

void SetButtonType(HWND button, LONG type) {
  const LONG style = GetWindowLongW(button, GWL_STYLE);
  if ((style & BS_TYPEMASK) != type) SetWindowLongW(button, GWL_STYLE, (style & ~BS_TYPEMASK) | type);
  InvalidateRect(button, nullptr, FALSE);
}

namespace {

ButtonVisual VisualOf(HWND button, const WindowState& state) {
  ButtonVisual v;
  if (!IsWindowEnabled(button)) v.state = kButtonDisabled;
  else if (SendMessageW(button, BM_GETSTATE, 0, 0) & BST_PUSHED) v.state = kButtonPressed;
  else if (state.hot) v.state = kButtonHot;
  v.focused = GetFocus() == button;
  v.isDefault = state.isDefault;
  return v;
}

void PaintButtonOn(HWND button, HDC dc) {
  WindowState* state = Find(button);
  if (!state) return;
  const ButtonVisual visual = VisualOf(button, *state);
  PaintButton(*AttachedSkin(), button, dc, BackdropOf(button), visual);
  if ((state = Find(button))) state->shown = visual;
}

// Repaints a push button whose look no longer matches what it shows.
void RefreshButton(HWND button) {
  const WindowState* state = Find(button);
  if (state && (!state->shown || VisualOf(button, *state) != *state->shown)) InvalidateRect(button, nullptr, FALSE);
}

void TrackLeave(HWND window) {
  TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, window, 0};
  TrackMouseEvent(&track);
}

// Labels get the skin's text colours; those with a background get a brush of
// the backdrop, aligned so that they show what lies behind them.
LRESULT ColourStatic(HDC dc, HWND control, LRESULT ownAnswer) {
  wchar_t name[16] = {};
  GetClassNameW(control, name, 16);
  if (!AttachedSkin() || (_wcsicmp(name, L"Static") != 0 && _wcsicmp(name, L"Button") != 0)) return ownAnswer;
  SetBkMode(dc, TRANSPARENT);
  if (reinterpret_cast<HGDIOBJ>(ownAnswer) == GetStockObject(NULL_BRUSH)) {
    SetTextColor(dc, ToColorRef(AttachedSkin()->transparentText));
    return ownAnswer;
  }
  SetTextColor(dc, ToColorRef(AttachedSkin()->labelText));
  const HWND root = GetAncestor(control, GA_ROOT);
  const HGDIOBJ brush = BackdropBrushOf(root);
  if (!brush) return ownAnswer;
  const POINT origin = OriginInRoot(control, root);
  SetBrushOrgEx(dc, -origin.x, -origin.y, nullptr);
  return reinterpret_cast<LRESULT>(brush);
}

template <class Paint>
LRESULT PaintWith(HWND window, Paint paint) {
  PAINTSTRUCT ps;
  if (HDC dc = BeginPaint(window, &ps)) {
    paint(dc);
    EndPaint(window, &ps);
  }
  return 0;
}

// The item of a header or tab control under a point of its client area, or -1.
int ItemAt(HWND window, Role role, POINT pt) {
  if (role == Role::Header) {
    HDHITTESTINFO hit{};
    hit.pt = pt;
    const int item = static_cast<int>(SendMessageW(window, HDM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    return (hit.flags & HHT_ONHEADER) ? item : -1;
  }
  TCHITTESTINFO hit{pt, 0};
  return TabCtrl_HitTest(window, &hit);
}

void PaintFrameOf(HWND window) {
  if (const WindowState* state = Find(window)) PaintFrame(*AttachedSkin(), window, state->caption);
}

// The caption buttons: hot under the mouse, pressed while held (the mouse
// captured), their command posted once released over them.
LRESULT CaptionButtonMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  CaptionState& caption = Find(window)->caption;
  const CaptionState before = caption;
  POINT screen{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  switch (message) {
    case WM_NCHITTEST: {
      const LRESULT part = CallNext(window, message, wParam, lParam);
      if (const int button = CaptionButtonAt(window, screen); button != HTNOWHERE) return button;
      return part == HTCLOSE || part == HTMAXBUTTON || part == HTMINBUTTON || part == HTHELP ? HTCAPTION : part;
    }
    case WM_NCMOUSEMOVE:
      caption.hot = CaptionButtonAt(window, screen);
      if (caption.hot != HTNOWHERE) {
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE | TME_NONCLIENT, window, 0};
        TrackMouseEvent(&track);
      }
      break;
    case WM_NCMOUSELEAVE:
      caption.hot = HTNOWHERE;
      break;
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK:
      if (wParam != HTCLOSE && wParam != HTMAXBUTTON && wParam != HTMINBUTTON) break;
      caption.pressed = static_cast<int>(wParam);
      caption.pressedInside = true;
      SetCapture(window);
      PaintFrameOf(window);
      return 0;
    case WM_MOUSEMOVE:
    case WM_LBUTTONUP: {
      if (caption.pressed == HTNOWHERE) break;
      ClientToScreen(window, &screen);
      caption.pressedInside = CaptionButtonAt(window, screen) == caption.pressed;
      if (message == WM_MOUSEMOVE) {
        if (caption.pressedInside != before.pressedInside) PaintFrameOf(window);
        return 0;
      }
      const int part = caption.pressed;
      const bool inside = caption.pressedInside;
      caption.pressed = HTNOWHERE;
      ReleaseCapture();
      PaintFrameOf(window);
      if (inside) PostMessageW(window, WM_SYSCOMMAND, CommandOf(window, part), 0);
      return 0;
    }
    case WM_CAPTURECHANGED:
      caption.pressed = HTNOWHERE;
      break;
  }
  const bool changed = caption.hot != before.hot || caption.pressed != before.pressed;
  if (changed) PaintFrameOf(window);
  return CallNext(window, message, wParam, lParam);
}

LRESULT FrameMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND:
      PaintBackdrop(*AttachedSkin(), window, reinterpret_cast<HDC>(wParam), BackdropOf(window));
      return 1;
    case WM_SIZE: {
      const LRESULT result = CallNext(window, message, wParam, lParam);
      if (wParam != SIZE_MINIMIZED) RedrawBackdrop(window);
      return result;
    }
  }
  if (!DrawsFrame(window)) return CallNext(window, message, wParam, lParam);
  switch (message) {
    case WM_NCPAINT:
      if (!PaintFrame(*AttachedSkin(), window, Find(window)->caption)) break;
      return 0;
    case WM_NCACTIVATE: {
      if (IsIconic(window)) break;
      // -1: the system notes the state without drawing its own caption.
      const LRESULT result = CallNext(window, message, wParam, -1);
      if (WindowState* state = Find(window)) state->caption.active = wParam != FALSE;
      PaintFrameOf(window);
      return result;
    }
    case WM_SETTEXT:
    case WM_SETICON: {  // the system draws its own caption here: draw ours over it
      const LRESULT result = CallNext(window, message, wParam, lParam);
      PaintFrameOf(window);
      return result;
    }
    case WM_NCHITTEST:
    case WM_NCMOUSEMOVE:
    case WM_NCMOUSELEAVE:
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK:
    case WM_MOUSEMOVE:
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
      return CaptionButtonMessage(window, message, wParam, lParam);
  }
  return CallNext(window, message, wParam, lParam);
}

LRESULT PushButtonMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      return PaintWith(window, [&](HDC dc) { PaintButtonOn(window, dc); });
    case WM_PRINTCLIENT:
      PaintButtonOn(window, reinterpret_cast<HDC>(wParam));
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_CREATE: {
      const LRESULT result = CallNext(window, message, wParam, lParam);
      if (result != -1) DrawButtonBySkin(window);
      return result;
    }
    case BM_SETSTYLE: {  // the dialog manager moving the default: keep drawing it ourselves
      Find(window)->isDefault = (wParam & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
      const LRESULT result = CallNext(window, message, (wParam & ~BS_TYPEMASK) | BS_OWNERDRAW, lParam);
      InvalidateRect(window, nullptr, FALSE);
      return result;
    }
    case WM_GETDLGCODE: {  // still a push button to the dialog manager
      LRESULT code = CallNext(window, message, wParam, lParam);
      if (const WindowState* state = Find(window)) {
        code &= ~(DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON);
        code |= state->isDefault ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON;
      }
      return code;
    }
    case WM_MOUSEMOVE:
    case WM_MOUSELEAVE: {
      const LRESULT result = CallNext(window, message, wParam, lParam);
      if (WindowState* state = Find(window)) {
        RECT client;
        GetClientRect(window, &client);
        const bool over = message == WM_MOUSEMOVE && PtInRect(&client, {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        if (over && !state->hot) TrackLeave(window);
        state->hot = over;
      }
      RefreshButton(window);
      return result;
    }
    case WM_SETTEXT:
    case WM_SETFONT:
    case WM_SIZE: {
      const LRESULT result = CallNext(window, message, wParam, lParam);
      InvalidateRect(window, nullptr, FALSE);
      return result;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_LBUTTONUP:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ENABLE:
    case WM_CAPTURECHANGED:
    case BM_SETSTATE:
    case BM_CLICK: {
      const LRESULT result = CallNext(window, message, wParam, lParam);
      RefreshButton(window);
      return result;
    }
  }
  return CallNext(window, message, wParam, lParam);
}

// Group boxes and tab controls: their panel is part of the backdrop, which is
// redrawn whenever they move, show, hide or change caption, font or tabs.
bool ChangesBackdrop(UINT message, LPARAM lParam) {
  switch (message) {
    case WM_SETTEXT:
    case WM_SETFONT:
    case WM_ENABLE:
    case TCM_INSERTITEMA:
    case TCM_INSERTITEMW:
    case TCM_DELETEITEM:
    case TCM_DELETEALLITEMS:
    case TCM_SETITEMSIZE:
      return true;
    case WM_WINDOWPOSCHANGED: {
      const UINT flags = reinterpret_cast<const WINDOWPOS*>(lParam)->flags;
      return !(flags & SWP_NOMOVE) || !(flags & SWP_NOSIZE) || (flags & (SWP_SHOWWINDOW | SWP_HIDEWINDOW));
    }
  }
  return false;
}

LRESULT ContainerMessage(HWND window, const WindowState& state, UINT message, WPARAM wParam, LPARAM lParam) {
  const bool tabs = state.role == Role::TabControl;
  auto paint = [&](HDC dc) {
    if (tabs) PaintTabs(*AttachedSkin(), window, dc, BackdropOf(window), Find(window)->hotItem);
    else PaintBackdrop(*AttachedSkin(), window, dc, BackdropOf(window));
  };
  switch (message) {
    case WM_PAINT: {
      RECT painted{};
      GetUpdateRect(window, &painted, FALSE);
      PaintWith(window, paint);
      RepaintTransparentAbove(window, painted);
      return 0;
    }
    case WM_PRINTCLIENT:
      paint(reinterpret_cast<HDC>(wParam));
      return 0;
    case WM_ERASEBKGND:
      return 1;
  }
  const LRESULT result = CallNext(window, message, wParam, lParam);
  if (ChangesBackdrop(message, lParam)) RedrawBackdrop(window);
  return result;
}

LRESULT ItemsMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      return PaintWith(window, [&](HDC dc) {
        const WindowState* s = Find(window);
        PaintHeader(*AttachedSkin(), window, dc, s->hotItem, s->pressedItem);
      });
    case WM_ERASEBKGND:
      return 1;
  }
  const LRESULT result = CallNext(window, message, wParam, lParam);
  WindowState* state = Find(window);
  if (!state) return result;
  const POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  const int hot = state->hotItem, pressed = state->pressedItem;
  switch (message) {
    case WM_MOUSEMOVE:
      if (hot == -1) TrackLeave(window);
      state->hotItem = ItemAt(window, state->role, pt);
      break;
    case WM_MOUSELEAVE:
      state->hotItem = -1;
      break;
    case WM_LBUTTONDOWN:
      if (GetWindowLongW(window, GWL_STYLE) & HDS_BUTTONS) state->pressedItem = ItemAt(window, state->role, pt);
      break;
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
      state->pressedItem = -1;
      break;
  }
  if (state->hotItem != hot || state->pressedItem != pressed) InvalidateRect(window, nullptr, FALSE);
  return result;
}

}  // namespace

LRESULT CALLBACK SkinProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCDESTROY) {
    Forget(window);
    const LRESULT result = CallNext(window, message, wParam, lParam);
    ForgetChain(window);
    return result;
  }
  const WindowState* state = Find(window);
  if (!state) return CallNext(window, message, wParam, lParam);

  // What every skinned window does for its children.
  switch (message) {
    case WM_CTLCOLORSTATIC:
      return ColourStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam),
                          CallNext(window, message, wParam, lParam));
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      const WindowState* control = Find(item->hwndItem);
      if (item->CtlType == ODT_BUTTON && control && control->role == Role::PushButton) {
        PaintButtonOn(item->hwndItem, item->hDC);
        return TRUE;
      }
      break;
    }
  }

  switch (state->role) {
    case Role::Frame:
      return FrameMessage(window, message, wParam, lParam);
    case Role::PushButton:
      return PushButtonMessage(window, message, wParam, lParam);
    case Role::GroupBox:
      return ContainerMessage(window, *state, message, wParam, lParam);
    case Role::TabControl:
      if (message == WM_MOUSEMOVE || message == WM_MOUSELEAVE) return ItemsMessage(window, message, wParam, lParam);
      return ContainerMessage(window, *state, message, wParam, lParam);
    case Role::Header:
      return ItemsMessage(window, message, wParam, lParam);
    case Role::ListView:
      if (message == WM_NCPAINT) {
        const LRESULT result = CallNext(window, message, wParam, lParam);
        if (AttachedSkin()) PaintListFrame(*AttachedSkin(), window);
        return result;
      }
      break;
    case Role::Other:
    case Role::None:
      break;
  }
  return CallNext(window, message, wParam, lParam);
}

}  // namespace vantoip::skin
