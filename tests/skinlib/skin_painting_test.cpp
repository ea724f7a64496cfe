// The real skinning library, carried and written by ApplySkin, on windows of
// this thread: what the windows show before, with and after a skin.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "app/skin_win.h"
#include "runtime/handle_win.h"
#include "runtime/native_bridge_win.h"
#include "skinlib/canvas.h"
#include "skinlib/skin_blob.h"
#include "skinlib/skin_data.h"
#include "tests/skinlib/demo_windows_win.h"

namespace vantoip::test {
namespace {

using skin::Rgb;

skin::Skin StoredSkin(int number) {
  return skin::LoadSkin(skin::SkinRecord(StoredSkins(), number).subspan(skin::kRecordHeaderSize)).value();
}

Rgb PixelOf(HWND window, int x, int y) {
  const WindowDc dc(window, GetDC(window));
  const COLORREF c = GetPixel(dc.Get(), x, y);
  return {GetRValue(c), GetGValue(c), GetBValue(c)};
}

Rgb FromColorRef(COLORREF c) { return {GetRValue(c), GetGValue(c), GetBValue(c)}; }

::testing::AssertionResult Near(Rgb actual, Rgb expected) {
  const int d = std::max({std::abs(actual.r - expected.r), std::abs(actual.g - expected.g),
                          std::abs(actual.b - expected.b)});
  if (d <= 3) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "pixel " << int(actual.r) << "," << int(actual.g) << "," << int(actual.b)
                                       << " expected " << int(expected.r) << "," << int(expected.g) << ","
                                       << int(expected.b);
}

int ClientHeight(HWND window) {
  RECT r;
  GetClientRect(window, &r);
  return r.bottom;
}

// Row `y` of a face drawn from top to bottom over the window's client height.
Rgb FaceRow(const skin::Look& look, HWND window, int y) {
  return skin::GradientAt(look.top, look.bottom, y, ClientHeight(window));
}

// The colours a window answers for one of its labels.
struct LabelColours {
  Rgb text;
  HGDIOBJ brush;
};

LabelColours ColoursOfLabel(HWND window, HWND label) {
  const MemoryDc dc(CreateCompatibleDC(nullptr));
  SetTextColor(dc.Get(), RGB(1, 2, 3));
  const auto brush = reinterpret_cast<HGDIOBJ>(
      SendMessageW(window, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc.Get()), reinterpret_cast<LPARAM>(label)));
  return {FromColorRef(GetTextColor(dc.Get())), brush};
}

constexpr int kBackgroundX = 1, kBackgroundY = 200;  // left of the group boxes

class SkinnedWindows : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // A library file of an earlier build would be refused as foreign.
    const std::wstring stale = ProgramFolder() + L"\\SkinH_EL.dll";
    SetFileAttributesW(stale.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(stale.c_str());
  }
  void SetUp() override {
    main_ = CreateDemoMainWindow(10, 10);
    ShowWindow(main_, SW_SHOWNORMAL);
    PumpMessages(200);
  }
  void TearDown() override {
    ApplySkin(0);
    for (HWND w : {details_, main_})
      if (w) DestroyWindow(w);
    PumpMessages(100);
  }
  Rgb Background() const { return PixelOf(main_, kBackgroundX, kBackgroundY); }
  HWND Item(DemoControl id) const { return DemoItem(main_, id); }

  HWND main_ = nullptr;
  HWND details_ = nullptr;
};

TEST_F(SkinnedWindows, PaintBackgroundsPanelsButtonsAndHeaderInTheSkin) {
  const skin::Skin s = StoredSkin(13);
  const HWND button = Item(kDemoDetails), header = ListView_GetHeader(Item(kDemoList));
  ASSERT_TRUE(Near(Background(), FromColorRef(GetSysColor(COLOR_BTNFACE))));
  ASSERT_FALSE(Near(PixelOf(button, 4, 4), FaceRow(s.button[skin::kButtonNormal], button, 4)));

  ApplySkin(13);
  PumpMessages(200);
  EXPECT_TRUE(Near(Background(), skin::GradientAt(s.windowTop, s.windowBottom, kBackgroundY, ClientHeight(main_))));
  EXPECT_TRUE(Near(PixelOf(button, 4, 4), FaceRow(s.button[skin::kButtonNormal], button, 4)));
  EXPECT_TRUE(Near(PixelOf(header, 3, 3), FaceRow(s.header[skin::kHeaderNormal], header, 3)));
  EXPECT_EQ(GetWindowLongW(button, GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);

  // Inside the lower group box, between its text and its buttons: the panel.
  const Rgb panel = PixelOf(main_, 478, 460);
  for (auto [got, low, high] : {std::tuple{panel.r, s.panel.top.r, s.panel.bottom.r},
                                std::tuple{panel.g, s.panel.top.g, s.panel.bottom.g},
                                std::tuple{panel.b, s.panel.top.b, s.panel.bottom.b}}) {
    EXPECT_GE(got, std::min(low, high));
    EXPECT_LE(got, std::max(low, high));
  }
}

TEST_F(SkinnedWindows, AnswerLabelColoursAndKeepTransparentLabelsTransparent) {
  const skin::Skin s = StoredSkin(13);
  ApplySkin(13);
  PumpMessages(100);
  const LabelColours label = ColoursOfLabel(main_, Item(kDemoStateCaption));
  EXPECT_EQ(label.text, s.labelText);
  EXPECT_NE(label.brush, GetSysColorBrush(COLOR_BTNFACE));  // the backdrop instead
  const LabelColours advert = ColoursOfLabel(main_, Item(kDemoAdvert));
  EXPECT_EQ(advert.text, s.transparentText);
  EXPECT_EQ(advert.brush, GetStockObject(NULL_BRUSH));
}

int PixelsOfColour(HWND window, Rgb colour) {
  RECT r;
  GetClientRect(window, &r);
  const WindowDc dc(window, GetDC(window));
  int count = 0;
  for (int y = 0; y < r.bottom; ++y)
    for (int x = 0; x < r.right; ++x) count += GetPixel(dc.Get(), x, y) == RGB(colour.r, colour.g, colour.b);
  return count;
}

// A transparent label lies on a group box that paints its whole panel: the
// label's text must come out on top however the two are repainted.
TEST_F(SkinnedWindows, KeepTransparentLabelTextOnTopOfPanels) {
  const skin::Skin s = StoredSkin(13);
  ApplySkin(13);
  PumpMessages(100);
  const HWND advert = Item(kDemoAdvert);
  const int before = PixelsOfColour(advert, s.transparentText);  // smoothed glyphs: few pixels of the exact colour
  EXPECT_GT(before, 100);

  // A new text, and what lies behind the label repainted (its old text has to go).
  SetWindowTextW(advert, L"新的文字");
  RECT r;
  GetWindowRect(advert, &r);
  MapWindowPoints(nullptr, main_, reinterpret_cast<POINT*>(&r), 2);
  RedrawWindow(main_, &r, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  PumpMessages(100);
  const int pixels = PixelsOfColour(advert, s.transparentText);
  EXPECT_GT(pixels, 5);
  EXPECT_LT(pixels, before / 4);
  RedrawWindow(Item(kDemoAdverts), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  PumpMessages(100);
  EXPECT_EQ(PixelsOfColour(advert, s.transparentText), pixels);
}

TEST_F(SkinnedWindows, DrawPushButtonsInEveryState) {
  const skin::Skin s = StoredSkin(13);
  ApplySkin(13);
  const HWND button = Item(kDemoProject1);
  const auto face = [&](skin::ButtonState state) { return FaceRow(s.button[state], button, 4); };

  SendMessageW(button, BM_SETSTATE, TRUE, 0);
  PumpMessages(100);
  EXPECT_TRUE(Near(PixelOf(button, 4, 4), face(skin::kButtonPressed)));
  SendMessageW(button, BM_SETSTATE, FALSE, 0);
  PumpMessages(100);
  EXPECT_TRUE(Near(PixelOf(button, 4, 4), face(skin::kButtonNormal)));

  RECT r;
  GetWindowRect(button, &r);
  SetCursorPos(r.left + 10, r.top + 10);
  SendMessageW(button, WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
  PumpMessages(100);
  EXPECT_TRUE(Near(PixelOf(button, 4, 4), face(skin::kButtonHot)));
  SetCursorPos(0, 0);
  SendMessageW(button, WM_MOUSELEAVE, 0, 0);

  SetFocus(button);
  PumpMessages(100);
  EXPECT_TRUE(Near(PixelOf(button, 0, 15), s.focus));  // the ring replaces the border

  EnableWindow(button, FALSE);
  PumpMessages(100);
  EXPECT_TRUE(Near(PixelOf(button, 4, 4), face(skin::kButtonDisabled)));
}

TEST_F(SkinnedWindows, SkinWindowsCreatedAfterwards) {
  const skin::Skin s = StoredSkin(13);
  ApplySkin(13);
  details_ = CreateDemoDetailsWindow(main_, 20, 20);
  ShowWindow(details_, SW_SHOWNORMAL);
  PumpMessages(200);
  const HWND button = DemoItem(details_, kDemoRegister);
  EXPECT_EQ(GetWindowLongW(button, GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
  EXPECT_TRUE(Near(PixelOf(button, 4, 4), FaceRow(s.button[skin::kButtonNormal], button, 4)));
  EXPECT_EQ(ColoursOfLabel(details_, DemoItem(details_, kDemoStatement)).text, s.transparentText);
}

constexpr UINT kCounted = WM_APP + 9;
LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR count) {
  if (message == kCounted) ++*reinterpret_cast<int*>(count);
  return DefSubclassProc(window, message, wParam, lParam);
}

TEST_F(SkinnedWindows, ChangeSkinsAndGiveTheOwnLookBack) {
  ApplySkin(13);
  // A procedure put in front of the skin's, as the program does for its labels,
  // stays in the chain when the skin is taken off.
  int counted = 0;
  HWND label = Item(kDemoStateCaption);
  SetWindowSubclass(label, &CountingProc, 1, reinterpret_cast<DWORD_PTR>(&counted));
  const skin::Skin dark = StoredSkin(14);
  ApplySkin(14);
  PumpMessages(200);
  EXPECT_TRUE(
      Near(Background(), skin::GradientAt(dark.windowTop, dark.windowBottom, kBackgroundY, ClientHeight(main_))));

  ApplySkin(0);
  PumpMessages(200);
  EXPECT_TRUE(Near(Background(), FromColorRef(GetSysColor(COLOR_BTNFACE))));
  EXPECT_EQ(GetWindowLongW(Item(kDemoDetails), GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON);
  EXPECT_EQ(ColoursOfLabel(main_, Item(kDemoStateCaption)).brush, GetSysColorBrush(COLOR_BTNFACE));
  SendMessageW(label, kCounted, 0, 0);
  EXPECT_EQ(counted, 1);
  RemoveWindowSubclass(label, &CountingProc, 1);
}

Rgb WindowPixel(HWND window, int x, int y) {
  const WindowDc dc(window, GetWindowDC(window));
  return FromColorRef(GetPixel(dc.Get(), x, y));
}

// Top of the client area in window coordinates: the caption ends there.
int CaptionBottom(HWND window) {
  RECT outer, client;
  GetWindowRect(window, &outer);
  GetClientRect(window, &client);
  MapWindowPoints(window, HWND_DESKTOP, reinterpret_cast<POINT*>(&client), 2);
  return client.top - outer.top;
}

// The screen point of the caption button `part`, found by hit-testing the
// caption row from the right.
POINT CaptionButton(HWND window, int part) {
  RECT outer;
  GetWindowRect(window, &outer);
  const int y = outer.top + CaptionBottom(window) / 2;
  for (int x = outer.right - 1; x > outer.left; --x)
    if (SendMessageW(window, WM_NCHITTEST, 0, MAKELPARAM(x, y)) == part) return {x - 3, y};
  return {-1, -1};
}

void ClickCaption(HWND window, POINT down, POINT up) {
  SendMessageW(window, WM_NCLBUTTONDOWN, SendMessageW(window, WM_NCHITTEST, 0, MAKELPARAM(down.x, down.y)),
               MAKELPARAM(down.x, down.y));
  ScreenToClient(window, &up);
  SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(up.x, up.y));
  PumpMessages(100);
}

TEST_F(SkinnedWindows, DrawTheTitleBarAndWorkItsButtons) {
  const skin::Skin s = StoredSkin(13);
  ApplySkin(13);
  SetActiveWindow(main_);
  PumpMessages(100);
  const int row = CaptionBottom(main_) / 2;
  EXPECT_TRUE(Near(WindowPixel(main_, 400, row), skin::GradientAt(s.caption.top, s.caption.bottom, row,
                                                                  CaptionBottom(main_))));

  details_ = CreateDemoDetailsWindow(main_, 20, 20);  // takes the activation
  ShowWindow(details_, SW_SHOWNORMAL);
  PumpMessages(100);
  const Rgb faded = skin::GradientAt(skin::Mix(s.caption.top, s.windowTop, 150),
                                     skin::Mix(s.caption.bottom, s.windowBottom, 150), row, CaptionBottom(main_));
  EXPECT_TRUE(Near(WindowPixel(main_, 400, row), faded));

  const POINT close = CaptionButton(details_, HTCLOSE);
  ASSERT_NE(close.x, -1);
  EXPECT_NE(CaptionButton(details_, HTMINBUTTON).x, -1);
  ClickCaption(details_, close, {close.x - 200, close.y});  // released elsewhere: nothing
  EXPECT_TRUE(IsWindow(details_));
  ClickCaption(details_, close, close);
  EXPECT_FALSE(IsWindow(details_));
  details_ = nullptr;
}

// The library itself, called with damaged skins: it answers with an error and
// the windows keep the skin they have.
TEST_F(SkinnedWindows, RefuseDamagedSkinData) {
  const Rgb own = Background();
  ApplySkin(13);
  PumpMessages(100);
  const Rgb skinned = Background();
  ASSERT_FALSE(Near(skinned, own));  // the skin shows, so keeping it can be seen
  using Attach = int(__stdcall*)(const unsigned char*, int, const char*, int, int, int);
  const auto attach = reinterpret_cast<Attach>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("SkinH_EL.dll"), "SkinH_AttachRes")));
  ASSERT_NE(attach, nullptr);

  const auto record = skin::SkinRecord(StoredSkins(), 14);
  std::vector<unsigned char> data(record.begin() + skin::kRecordHeaderSize, record.end());
  EXPECT_EQ(attach(data.data(), 20, nullptr, 0, 0, 0), 2);  // truncated
  std::vector<unsigned char> damaged = data;
  for (std::size_t i = skin::kPackageHeaderSize + 8; i < damaged.size(); i += 7) damaged[i] ^= 0x5A;
  EXPECT_EQ(attach(damaged.data(), static_cast<int>(damaged.size()), nullptr, 0, 0, 0), 2);
  damaged = data;
  damaged[0] = 'X';
  EXPECT_EQ(attach(damaged.data(), static_cast<int>(damaged.size()), nullptr, 0, 0, 0), 2);
  RedrawWindow(main_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  PumpMessages(100);
  EXPECT_TRUE(Near(Background(), skinned));

  EXPECT_EQ(attach(data.data(), static_cast<int>(data.size()), nullptr, 0, 0, 0), 0);
  RedrawWindow(main_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  PumpMessages(100);
  EXPECT_FALSE(Near(Background(), skinned));  // the sound skin 14 is taken
  EXPECT_EQ(attach(nullptr, 0, nullptr, 0, 0, 0), 1);
}

}  // namespace
}  // namespace vantoip::test
