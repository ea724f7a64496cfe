#include "skinlib/skin_paint_win.h"

#include <commctrl.h>

#include <algorithm>
#include <vector>

#include "runtime/window_enumeration_win.h"
#include "skinlib/window_roles_win.h"

namespace vantoip::skin {
namespace {

constexpr int kHighlightAlpha = 70;  // inner light edge of raised faces

struct Container {
  HWND window;
  Role role;
  RECT rect;  // in the root's client coordinates
};

// Shown unless it or a parent below the root lacks WS_VISIBLE (the root itself
// may still be hidden while its controls are made).
bool ShownWithin(HWND window, HWND root) {
  for (HWND w = window; w && w != root; w = GetParent(w))
    if (!(GetWindowLongW(w, GWL_STYLE) & WS_VISIBLE)) return false;
  return true;
}

// Group boxes and tab controls of the root, enclosing ones first.
std::vector<Container> ShownContainers(HWND root) {
  std::vector<Container> found;
  ForEachChildWindow(root, [&](HWND window) {
    const Role role = RoleOf(window, GetWindowLongW(window, GWL_STYLE));
    if ((role != Role::GroupBox && role != Role::TabControl) || !ShownWithin(window, root)) return;
    RECT r;
    GetWindowRect(window, &r);
    MapWindowPoints(HWND_DESKTOP, root, reinterpret_cast<POINT*>(&r), 2);
    found.push_back({window, role, r});
  });
  const auto area = [](const RECT& r) { return static_cast<long long>(r.right - r.left) * (r.bottom - r.top); };
  std::stable_sort(found.begin(), found.end(),
                   [&](const Container& a, const Container& b) { return area(a.rect) > area(b.rect); });
  return found;
}


int TextHeight(HDC dc) {
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  return metrics.tmHeight;
}

void DrawLabel(HDC dc, HFONT font, const std::wstring& text, RECT r, Rgb colour, UINT format) {
  Selection selected(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, ToColorRef(colour));
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, format);
}

// Text centred in `r`, on several lines when `wrap`.
void DrawCentred(HDC dc, HFONT font, const std::wstring& text, RECT r, Rgb colour, bool wrap) {
  if (!wrap) {
    DrawLabel(dc, font, text, r, colour, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    return;
  }
  RECT measured = r;
  {
    Selection selected(dc, font);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &measured, DT_CENTER | DT_WORDBREAK | DT_CALCRECT);
  }
  const int shift = std::max(0L, ((r.bottom - r.top) - (measured.bottom - measured.top)) / 2);
  r.top += shift;
  DrawLabel(dc, font, text, r, colour, DT_CENTER | DT_WORDBREAK);
}

// A group box: a panel from the middle of its caption line down, the caption
// on a badge across the panel's top edge.
void DrawGroupPanel(const Skin& skin, const Surface& picture, const Container& group) {
  const HFONT font = FontOf(group.window);
  int lineHeight;
  {
    Selection selected(picture.Dc(), font);
    lineHeight = TextHeight(picture.Dc());
  }
  const RECT& r = group.rect;
  const int panelTop = r.top + lineHeight / 2;
  DrawRoundBox(picture.Pixels(), {r.left, panelTop, r.right, r.bottom}, skin.panelRadius, skin.panel.top,
               skin.panel.bottom, skin.panel.border);

  const std::wstring caption = TextOf(group.window);
  if (caption.empty()) return;
  SIZE extent{};
  {
    Selection selected(picture.Dc(), font);
    GetTextExtentPoint32W(picture.Dc(), caption.c_str(), static_cast<int>(caption.size()), &extent);
  }
  const int height = lineHeight + 4;
  const int left = r.left + 8 + skin.panelRadius / 2;
  const RECT badge{left, panelTop - height / 2, left + extent.cx + 18, panelTop - height / 2 + height};
  DrawRoundBox(picture.Pixels(), ToBox(badge), skin.panelRadius ? height / 2 : 0, skin.caption.top,
               skin.caption.bottom, skin.caption.border);
  DrawLabel(picture.Dc(), font, caption, badge, skin.caption.text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

// Bottom of the row of tabs, in the tab control's client coordinates.
int TabRowBottom(HWND tabs) {
  int bottom = 0;
  const int count = TabCtrl_GetItemCount(tabs);
  for (int i = 0; i < count; ++i) {
    RECT item;
    if (TabCtrl_GetItemRect(tabs, i, &item)) bottom = std::max<int>(bottom, item.bottom);
  }
  return bottom;
}

void DrawTabPage(const Skin& skin, const Surface& picture, const Container& tabs) {
  const RECT& r = tabs.rect;
  const int rowBottom = TabRowBottom(tabs.window);
  DrawRoundBox(picture.Pixels(), {r.left, r.top + rowBottom, r.right, r.bottom}, skin.panelRadius, skin.panel.top,
               skin.panel.bottom, skin.panel.border, rowBottom ? kBottomCorners : kAllCorners);
}

void CopyBackdrop(const Skin& skin, const Surface& target, const Backdrop& backdrop) {
  if (backdrop.picture && backdrop.picture->Valid()) {
    BitBlt(target.Dc(), 0, 0, target.Width(), target.Height(), backdrop.picture->Dc(), backdrop.origin.x,
           backdrop.origin.y, SRCCOPY);
  } else {
    FillGradient(target.Pixels(), {0, 0, target.Width(), target.Height()}, skin.windowBottom, skin.windowBottom);
  }
}

RECT ClientRect(HWND window) {
  RECT r{};
  GetClientRect(window, &r);
  return r;
}

}  // namespace

void ComposeBackdrop(const Skin& skin, HWND root, const Surface& picture) {
  const Box all{0, 0, picture.Width(), picture.Height()};
  FillGradient(picture.Pixels(), all, skin.windowTop, skin.windowBottom);
  DrawPattern(picture.Pixels(), all, skin.pattern, skin.patternSpacing, skin.patternColour, skin.patternAlpha);
  for (const Container& c : ShownContainers(root)) {
    if (c.role == Role::GroupBox) DrawGroupPanel(skin, picture, c);
    else DrawTabPage(skin, picture, c);
  }
}

void PaintBackdrop(const Skin& skin, HWND window, HDC target, const Backdrop& backdrop) {
  const RECT r = ClientRect(window);
  Surface surface(r.right, r.bottom);
  if (!surface.Valid()) return;
  CopyBackdrop(skin, surface, backdrop);
  surface.CopyTo(target, 0, 0);
}

void PaintButton(const Skin& skin, HWND button, HDC target, const Backdrop& backdrop, const ButtonVisual& visual) {
  const RECT r = ClientRect(button);
  Surface surface(r.right, r.bottom);
  if (!surface.Valid()) return;
  CopyBackdrop(skin, surface, backdrop);

  const Look& look = skin.button[visual.state];
  const Box face{0, 0, r.right, r.bottom};
  const int radius = skin.buttonRadius;
  DrawRoundBox(surface.Pixels(), face, radius, look.top, look.bottom, look.border);
  if (visual.state == kButtonNormal || visual.state == kButtonHot)
    DrawRoundOutline(surface.Pixels(), face.Inset(1), std::max(radius - 1, 0), kWhite, kHighlightAlpha);
  if (visual.isDefault || visual.focused)
    DrawRoundOutline(surface.Pixels(), face, radius, skin.focus, visual.focused ? 255 : 170);
  if (visual.focused) DrawRoundOutline(surface.Pixels(), face.Inset(1), std::max(radius - 1, 0), skin.focus, 110);

  RECT text = r;
  InflateRect(&text, -3, -2);
  if (visual.state == kButtonPressed) OffsetRect(&text, 1, 1);
  const bool wrap = (GetWindowLongW(button, GWL_STYLE) & BS_MULTILINE) != 0;
  DrawCentred(surface.Dc(), FontOf(button), TextOf(button), text, look.text, wrap);
  surface.CopyTo(target, 0, 0);
}

void PaintHeader(const Skin& skin, HWND header, HDC target, int hotItem, int pressedItem) {
  const RECT r = ClientRect(header);
  Surface surface(r.right, r.bottom);
  if (!surface.Valid()) return;
  const Look& rest = skin.header[kHeaderNormal];
  FillGradient(surface.Pixels(), {0, 0, r.right, r.bottom}, rest.top, rest.bottom);

  const HFONT font = FontOf(header);
  const int count = Header_GetItemCount(header);
  for (int i = 0; i < count; ++i) {
    RECT item;
    if (!Header_GetItemRect(header, i, &item)) continue;
    const HeaderState state = i == pressedItem ? kHeaderPressed : i == hotItem ? kHeaderHot : kHeaderNormal;
    const Look& look = skin.header[state];
    FillGradient(surface.Pixels(), ToBox(item), look.top, look.bottom);
    BlendBox(surface.Pixels(), {item.right - 1, item.top + 3, item.right, item.bottom - 3}, look.border, 255);

    wchar_t text[260] = {};
    HDITEMW info{};
    info.mask = HDI_TEXT | HDI_FORMAT;
    info.pszText = text;
    info.cchTextMax = 260;
    SendMessageW(header, HDM_GETITEMW, i, reinterpret_cast<LPARAM>(&info));
    const int align = info.fmt & HDF_JUSTIFYMASK;
    UINT format = DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX;
    format |= align == HDF_CENTER ? DT_CENTER : align == HDF_RIGHT ? DT_RIGHT : DT_LEFT;
    RECT label = item;
    InflateRect(&label, -6, 0);
    if (state == kHeaderPressed) OffsetRect(&label, 1, 1);
    DrawLabel(surface.Dc(), font, text, label, look.text, format);
  }
  BlendBox(surface.Pixels(), {0, r.bottom - 2, r.right, r.bottom}, skin.focus, 255);
  surface.CopyTo(target, 0, 0);
}

void PaintTabs(const Skin& skin, HWND tabs, HDC target, const Backdrop& backdrop, int hotItem) {
  const RECT r = ClientRect(tabs);
  Surface surface(r.right, r.bottom);
  if (!surface.Valid()) return;
  CopyBackdrop(skin, surface, backdrop);

  const HFONT font = FontOf(tabs);
  const int rowBottom = TabRowBottom(tabs);
  const int selected = TabCtrl_GetCurSel(tabs);
  const int radius = std::min(skin.panelRadius, 6);
  const int count = TabCtrl_GetItemCount(tabs);
  // The selected tab last: it stands in front of its neighbours and opens into the page.
  for (int pass = 0; pass < 2; ++pass)
    for (int i = 0; i < count; ++i) {
      if ((i == selected) != (pass == 1)) continue;
      RECT item;
      if (!TabCtrl_GetItemRect(tabs, i, &item)) continue;
      const TabState state = i == selected ? kTabSelected : i == hotItem ? kTabHot : kTabNormal;
      const Look& look = skin.tab[state];
      Box box{item.left, item.top, item.right, rowBottom + 1};
      if (state == kTabSelected) box = {item.left - 2, std::max(0L, item.top - 2), item.right + 2, rowBottom + 1};
      DrawRoundBox(surface.Pixels(), box, radius, look.top, look.bottom, look.border, kTopCorners);
      if (state == kTabSelected) {
        BlendBox(surface.Pixels(), {box.left + 1, rowBottom, box.right - 1, rowBottom + 1}, skin.panel.top, 255);
        BlendBox(surface.Pixels(), {box.left + radius, box.top + 1, box.right - radius, box.top + 3}, skin.focus,
                 255);
      }
      RECT label{box.left, box.top + 1, box.right, rowBottom};
      wchar_t text[260] = {};
      TCITEMW info{};
      info.mask = TCIF_TEXT;
      info.pszText = text;
      info.cchTextMax = 260;
      SendMessageW(tabs, TCM_GETITEMW, i, reinterpret_cast<LPARAM>(&info));
      DrawLabel(surface.Dc(), font, text, label, look.text, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
  surface.CopyTo(target, 0, 0);
}

void PaintListFrame(const Skin& skin, HWND list) {
  if (!(GetWindowLongW(list, GWL_EXSTYLE) & WS_EX_CLIENTEDGE)) return;
  RECT r;
  GetWindowRect(list, &r);
  OffsetRect(&r, -r.left, -r.top);
  const WindowDc dc(list, GetWindowDC(list));
  if (!dc) return;
  COLORREF inside = ListView_GetBkColor(list);
  if (inside == CLR_NONE) inside = GetSysColor(COLOR_WINDOW);
  GdiObject outer(CreateSolidBrush(ToColorRef(skin.frame)));
  GdiObject inner(CreateSolidBrush(inside));
  FrameRect(dc.Get(), &r, static_cast<HBRUSH>(outer.Get()));
  InflateRect(&r, -1, -1);
  FrameRect(dc.Get(), &r, static_cast<HBRUSH>(inner.Get()));
}

}  // namespace vantoip::skin
