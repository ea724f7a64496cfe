#include "skinlib/skin_frame_win.h"

#include <memory>

#include <algorithm>
#include <array>

#include "skinlib/canvas.h"
#include "skinlib/surface_win.h"

namespace vantoip::skin {
namespace {

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kCloseHot{214, 56, 48};

// Where the parts of the frame lie, in window coordinates.
struct FrameGeometry {
  SIZE size{};
  RECT client{};
  RECT caption{};
  RECT icon{};
  RECT close{}, maximize{}, minimize{};  // empty when the window has no such button

  // The caption buttons with their hit-test codes.
  std::array<std::pair<int, RECT>, 3> Buttons() const {
    return {{{HTCLOSE, close}, {HTMAXBUTTON, maximize}, {HTMINBUTTON, minimize}}};
  }
};

FrameGeometry GeometryOf(HWND window) {
  FrameGeometry g;
  RECT outer;
  GetWindowRect(window, &outer);
  g.size = {outer.right - outer.left, outer.bottom - outer.top};
  GetClientRect(window, &g.client);
  MapWindowPoints(window, HWND_DESKTOP, reinterpret_cast<POINT*>(&g.client), 2);
  OffsetRect(&g.client, -outer.left, -outer.top);
  const int border = g.client.left;
  g.caption = {border, border, g.size.cx - border, g.client.top};

  const LONG style = GetWindowLongW(window, GWL_STYLE);
  if (!(style & WS_SYSMENU)) return g;
  const int height = g.caption.bottom - g.caption.top;
  const int middle = (g.caption.top + g.caption.bottom) / 2;
  g.icon = {g.caption.left + 4, middle - 8, g.caption.left + 20, middle + 8};
  const int buttonHeight = std::max(height - 4, 8), buttonWidth = buttonHeight + 10;
  RECT next{g.caption.right - 2 - buttonWidth, g.caption.top + 2, g.caption.right - 2, g.caption.top + 2 + buttonHeight};
  g.close = next;
  for (auto [box, bit] : {std::pair{&g.maximize, WS_MAXIMIZEBOX}, std::pair{&g.minimize, WS_MINIMIZEBOX}}) {
    if (!(style & bit)) continue;
    OffsetRect(&next, -(buttonWidth + 2), 0);
    *box = next;
  }
  return g;
}

HICON SmallIconOf(HWND window) {
  if (auto icon = reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, ICON_SMALL, 0))) return icon;
  if (auto icon = reinterpret_cast<HICON>(GetClassLongPtrW(window, GCLP_HICONSM))) return icon;
  return reinterpret_cast<HICON>(GetClassLongPtrW(window, GCLP_HICON));
}

// The glyph of a caption button: the close cross two pixels wide, the others one.
void DrawGlyph(HDC dc, int part, const RECT& r, Rgb colour, bool zoomed) {
  GdiObject pen(CreatePen(PS_SOLID, part == HTCLOSE ? 2 : 1, ToColorRef(colour)));
  Selection selected(dc, pen.Get());
  Selection hollow(dc, GetStockObject(NULL_BRUSH));
  const int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2, k = 4;
  switch (part) {
    case HTCLOSE:
      MoveToEx(dc, cx - k, cy - k, nullptr);
      LineTo(dc, cx + k + 1, cy + k + 1);
      MoveToEx(dc, cx + k, cy - k, nullptr);
      LineTo(dc, cx - k - 1, cy + k + 1);
      break;
    case HTMAXBUTTON:
      if (zoomed) Rectangle(dc, cx - k + 2, cy - k - 1, cx + k + 2, cy + k - 3);
      Rectangle(dc, cx - k, cy - k + (zoomed ? 2 : 0), cx + k + 1, cy + k + 1);
      MoveToEx(dc, cx - k, cy - k + (zoomed ? 3 : 1), nullptr);
      LineTo(dc, cx + k + 1, cy - k + (zoomed ? 3 : 1));
      break;
    case HTMINBUTTON:
      MoveToEx(dc, cx - k, cy + k - 1, nullptr);
      LineTo(dc, cx + k + 1, cy + k - 1);
      MoveToEx(dc, cx - k, cy + k, nullptr);
      LineTo(dc, cx + k + 1, cy + k);
      break;
  }
}

}  // namespace

bool DrawsFrame(HWND window) {
  const LONG style = GetWindowLongW(window, GWL_STYLE);
  return (style & WS_CAPTION) == WS_CAPTION && !(style & (WS_VSCROLL | WS_HSCROLL)) && !GetMenu(window);
}

bool PaintFrame(const Skin& skin, HWND window, const CaptionState& state) {
  if (IsIconic(window)) return false;
  const FrameGeometry g = GeometryOf(window);
  if (g.caption.bottom - g.caption.top < 8) return false;
  // Kept from one paint to the next: a fresh surface of the window's size
  // costs more than everything drawn on it (its pages are touched anew).
  static std::unique_ptr<Surface> kept;
  if (!kept || kept->Width() != g.size.cx || kept->Height() != g.size.cy)
    kept = std::make_unique<Surface>(g.size.cx, g.size.cy);
  Surface& surface = *kept;
  if (!surface.Valid()) return false;

  // Inactive, the caption fades towards the window's own colours.
  Look look = skin.caption;
  if (!state.active) {
    look.top = Mix(look.top, skin.windowTop, 150);
    look.bottom = Mix(look.bottom, skin.windowBottom, 150);
    look.border = Mix(look.border, skin.windowBottom, 120);
    look.text = Mix(look.text, look.bottom, 90);
  }
  const Box all{0, 0, g.size.cx, g.size.cy};
  FillGradient(surface.Pixels(), all, look.bottom, look.bottom);
  FillGradient(surface.Pixels(), {0, 0, g.size.cx, g.caption.bottom}, look.top, look.bottom);
  BlendBox(surface.Pixels(), {0, 1, g.size.cx, 2}, kWhite, 60);  // a light edge along the top
  DrawRoundOutline(surface.Pixels(), all, 0, look.border, 255);
  DrawRoundOutline(surface.Pixels(), ToBox(g.client).Inset(-1), 0, look.border, 200);

  for (auto [part, box] : g.Buttons()) {
    if (IsRectEmpty(&box)) continue;
    const bool pressed = state.pressed == part && state.pressedInside;
    const bool hot = state.hot == part && state.pressed == HTNOWHERE;
    Rgb glyph = look.text;
    if (part == HTCLOSE && (hot || pressed)) {
      DrawRoundBox(surface.Pixels(), ToBox(box), 3, kCloseHot, Mix(kCloseHot, kBlack, pressed ? 90 : 30),
                   Mix(kCloseHot, kBlack, 60));
      glyph = kWhite;
    } else if (pressed) {
      DrawRoundBox(surface.Pixels(), ToBox(box), 3, Mix(look.bottom, kBlack, 60), Mix(look.top, kBlack, 30),
                   look.border);
    } else if (hot) {
      DrawRoundBox(surface.Pixels(), ToBox(box), 3, Mix(look.top, kWhite, 90), Mix(look.bottom, kWhite, 60),
                   Mix(look.border, kWhite, 60));
    }
    DrawGlyph(surface.Dc(), part, box, glyph, IsZoomed(window) != FALSE);
  }

  RECT title = g.caption;
  title.left += 6;
  if (HICON icon = IsRectEmpty(&g.icon) ? nullptr : SmallIconOf(window)) {
    DrawIconEx(surface.Dc(), g.icon.left, g.icon.top, icon, 16, 16, 0, nullptr, DI_NORMAL);
    title.left = g.icon.right + 5;
  }
  for (const auto& [part, box] : g.Buttons())
    if (!IsRectEmpty(&box)) title.right = std::min(title.right, box.left - 4);
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  GdiObject font(CreateFontIndirectW(&metrics.lfCaptionFont));
  {
    Selection selected(surface.Dc(), font.Get());
    SetBkMode(surface.Dc(), TRANSPARENT);
    SetTextColor(surface.Dc(), ToColorRef(look.text));
    const std::wstring text = TextOf(window);
    DrawTextW(surface.Dc(), text.c_str(), static_cast<int>(text.size()), &title,
              DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
  }

  const WindowDc dc(window, GetWindowDC(window));
  if (!dc) return true;
  ExcludeClipRect(dc.Get(), g.client.left, g.client.top, g.client.right, g.client.bottom);
  surface.CopyTo(dc.Get(), 0, 0);
  return true;
}

int CaptionButtonAt(HWND window, POINT screen) {
  if (IsIconic(window)) return HTNOWHERE;
  RECT outer;
  GetWindowRect(window, &outer);
  const POINT at{screen.x - outer.left, screen.y - outer.top};
  const FrameGeometry g = GeometryOf(window);
  for (const auto& [part, box] : g.Buttons())
    if (PtInRect(&box, at)) return part;
  return HTNOWHERE;
}

WPARAM CommandOf(HWND window, int part) {
  if (part == HTCLOSE) return SC_CLOSE;
  if (part == HTMINBUTTON) return SC_MINIMIZE;
  return IsZoomed(window) ? SC_RESTORE : SC_MAXIMIZE;
}

}  // namespace vantoip::skin
