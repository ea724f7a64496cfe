// Drives the advertising buttons and the real project-details window in the
// test process under Wine + Xvfb.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <set>

#include "app/main_window_controls.h"
#include "app/main_window_layout.h"
#include "app/modal_window_win.h"
#include "app/promotion/project_details_controls.h"
#include "app/promotion/project_details_layout.h"
#include "app/promotion/promotion.h"
#include "app/promotion/promotion_data.h"
#include "app/shell_opener_win.h"
#include "runtime/encoding_win.h"
#include "tests/support/gui_win.h"
#include "ui/message_loop_win.h"
#include "ui/picture_win.h"
#include "ui/window_win.h"

namespace vantoip {
namespace {

struct RecordingShell : ShellOpener {
  std::vector<std::string> opened;
  void Open(const std::string& address) override { opened.push_back(address); }
};

// Runs a step from whatever message loop runs next: a modal window's own loop
// too, which a test cannot otherwise get into.
std::function<void()> g_step;
void CALLBACK RunStep(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  std::function<void()> step = std::move(g_step);
  g_step = nullptr;
  if (step) step();
}
void RunSoon(std::function<void()> step) {
  g_step = std::move(step);
  SetTimer(nullptr, 0, 50, &RunStep);
}

const std::vector<std::set<std::string>> kControlsOfTab = {
    {"透明标签9", "分组框2", "图片框1", "分组框1", "按钮1", "透明标签2", "透明标签1"},
    {"分组框4", "图片框2", "透明标签4", "分组框3", "按钮2", "透明标签3"},
    {"透明标签6", "分组框5", "按钮3", "透明标签5"},
    {"透明标签8", "分组框6", "按钮4", "透明标签7"},
};

// Position of `control` relative to the top left of `origin`.
POINT Offset(HWND control, HWND origin) {
  RECT c, o;
  GetWindowRect(control, &c);
  GetWindowRect(origin, &o);
  return {c.left - o.left, c.top - o.top};
}

SIZE SizeOf(HWND hwnd) {
  RECT r;
  GetWindowRect(hwnd, &r);
  return {r.right - r.left, r.bottom - r.top};
}

class PromotionGui : public ::testing::Test {
 protected:
  void SetUp() override {
    test::PrepareGuiTests();
    ASSERT_TRUE(LoadWindow(MainWindowLayout(), promotion.Events(), nullptr, false, &main));
  }
  void TearDown() override {
    if (main && main->Alive()) DestroyWindow(main->Handle());
    test::PumpFor(50);
  }

  // Clicks 按钮3 and runs `whileOpen` on the details window from that window's
  // own loop, then closes it. Returns once the click has returned.
  void WithDetailsWindow(const std::function<void(Window&)>& whileOpen) {
    bool ran = false;
    RunSoon([&] {
      ran = true;
      const auto details = Window::FromHandle(FindWindowW(L"VantoipWindow", L"项目详情"));
      if (!details) {
        ADD_FAILURE() << "no details window";
        return;
      }
      whileOpen(*details);
      PostMessageW(details->Handle(), WM_CLOSE, 0, 0);
    });
    SendMessageW(main->ControlHandle(main_window::kDetailsButton), BM_CLICK, 0, 0);
    ASSERT_TRUE(test::PumpUntil([&] { return ran; }));
  }

  static void ClickTab(Window& details, int tab) {
    HWND tabs = details.ControlHandle(details_window::kTabs);
    RECT item;
    ASSERT_TRUE(TabCtrl_GetItemRect(tabs, tab, &item));
    const LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
    SendMessageW(tabs, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(tabs, WM_LBUTTONUP, 0, at);
  }

  static std::vector<std::string> AllProjectPages() {
    std::vector<std::string> pages;
    for (int project = 1; project <= kProjectCount; ++project) pages.push_back(ProjectPage(project));
    return pages;
  }

  RecordingShell shell;
  Promotion promotion{shell, LoadModalOver};
  std::shared_ptr<Window> main;
};

TEST_F(PromotionGui, MainButtonsHandTheirProjectPagesToTheShell) {
  for (const char* button : {main_window::kProject1Button, main_window::kProject2Button, main_window::kProject3Button, main_window::kProject4Button})
    SendMessageW(main->ControlHandle(button), BM_CLICK, 0, 0);
  EXPECT_EQ(shell.opened, AllProjectPages());
  EXPECT_EQ(Window::LiveCount(), 1);
}

TEST_F(PromotionGui, DetailsWindowIsModalOverTheMainWindowAndMadeAnewOnEveryClick) {
  std::weak_ptr<Window> first;
  WithDetailsWindow([&](Window& details) {
    first = details.shared_from_this();
    EXPECT_FALSE(IsWindowEnabled(main->Handle()));
    EXPECT_EQ(GetWindow(details.Handle(), GW_OWNER), main->Handle());
    ClickTab(details, 3);
  });
  EXPECT_TRUE(first.expired()) << "destroyed when closed";
  EXPECT_TRUE(IsWindowEnabled(main->Handle()));
  EXPECT_EQ(Window::LiveCount(), 1);

  bool freshTab = false;
  WithDetailsWindow([&](Window& details) {
    freshTab = TabCtrl_GetCurSel(details.ControlHandle(details_window::kTabs)) == 0;
    EXPECT_TRUE(IsWindowVisible(details.ControlHandle(details_window::kProject1Button)));
    EXPECT_FALSE(IsWindowVisible(details.ControlHandle(details_window::kProject4Button)));
  });
  EXPECT_TRUE(freshTab) << "a new window starts on the first tab";
  EXPECT_TRUE(IsWindowEnabled(main->Handle()));
}

TEST_F(PromotionGui, EachTabShowsExactlyItsControlsAndItsButtonOpensItsPage) {
  const char* registerButton[] = {details_window::kProject1Button, details_window::kProject2Button, details_window::kProject3Button, details_window::kProject4Button};
  WithDetailsWindow([&](Window& details) {
    auto expectOnlyTab = [&](int tab) {
      EXPECT_EQ(TabCtrl_GetCurSel(details.ControlHandle(details_window::kTabs)), tab);
      for (std::size_t t = 0; t < kControlsOfTab.size(); ++t)
        for (const std::string& name : kControlsOfTab[t])
          EXPECT_EQ(IsWindowVisible(details.ControlHandle(name)) != FALSE, static_cast<int>(t) == tab)
              << name << " with tab " << tab << " selected";
    };
    expectOnlyTab(0);
    for (int tab = 0; tab < kProjectCount; ++tab) {
      ClickTab(details, tab);
      expectOnlyTab(tab);
      SendMessageW(details.ControlHandle(registerButton[tab]), BM_CLICK, 0, 0);
    }
    ClickTab(details, 0);
    expectOnlyTab(0);
  });
  EXPECT_EQ(shell.opened, AllProjectPages());
}

TEST_F(PromotionGui, DetailsWindowHasItsTableInPlaceWithPicturesAndTexts) {
  WithDetailsWindow([&](Window& details) {
    auto at = [&](const char* control) { return details.ControlHandle(control); };
    RECT outer;
    GetWindowRect(details.Handle(), &outer);
    EXPECT_EQ(outer.left, 50);
    EXPECT_EQ(outer.top, 50);
    EXPECT_EQ(SizeOf(details.Handle()).cx, 650);
    EXPECT_EQ(SizeOf(details.Handle()).cy, 527);
    EXPECT_EQ(test::WindowTextGbk(details.Handle()), "项目详情");

    HWND tabs = at(details_window::kTabs);
    ASSERT_EQ(TabCtrl_GetItemCount(tabs), 4);
    const char* titles[] = {"项目一详情", "项目二详情", "项目三详情", "项目四详情"};
    for (int i = 0; i < 4; ++i) {
      wchar_t text[64] = {};
      TCITEMW item{};
      item.mask = TCIF_TEXT;
      item.pszText = text;
      item.cchTextMax = 64;
      SendMessageW(tabs, TCM_GETITEMW, i, reinterpret_cast<LPARAM>(&item));
      EXPECT_EQ(WideToGbk(text), titles[i]);
    }
    POINT client{0, 0};
    ClientToScreen(details.Handle(), &client);
    RECT tabRect;
    GetWindowRect(tabs, &tabRect);
    EXPECT_EQ(tabRect.left - client.x, 0);
    EXPECT_EQ(tabRect.top - client.y, 0);
    EXPECT_EQ(SizeOf(tabs).cx, 648);
    EXPECT_EQ(SizeOf(tabs).cy, 504);

    // On a tab relative to the tab control, inside a group box relative to the box.
    struct Place { const char* control; const char* origin; LONG left, top, width, height; };
    const Place places[] = {
        {"透明标签1", "选择夹1", 9, 23, 623, 32},    {"分组框2", "选择夹1", 2, 182, 638, 322},
        {"图片框1", "分组框2", 6, 18, 624, 296},     {"按钮1", "分组框1", 592, 8, 40, 123},
        {"图片框2", "分组框4", 22, 18, 456, 176},    {"透明标签4", "选择夹1", 8, 55, 392, 125},
        {"按钮3", "分组框5", 153, 152, 325, 83},     {"分组框6", "选择夹1", 2, 45, 638, 451},
    };
    for (const Place& p : places) {
      const POINT offset = Offset(at(p.control), at(p.origin));
      const SIZE size = SizeOf(at(p.control));
      EXPECT_EQ((std::vector<LONG>{offset.x, offset.y, size.cx, size.cy}),
                (std::vector<LONG>{p.left, p.top, p.width, p.height}))
          << p.control;
    }

    EXPECT_TRUE(HasPicture(at("图片框1")));
    EXPECT_TRUE(HasPicture(at("图片框2")));
    for (const char* statement : {"透明标签1", "透明标签3", "透明标签5", "透明标签7"})
      EXPECT_EQ(test::WindowTextGbk(at(statement)), ProjectStatement()) << statement;
    const std::pair<const char*, int> descriptions[] = {
        {"透明标签9", 1}, {"透明标签2", 1}, {"透明标签4", 2}, {"透明标签6", 3}, {"透明标签8", 4}};
    for (const auto& [label, project] : descriptions)
      EXPECT_EQ(test::WindowTextGbk(at(label)), ProjectDescription(project)) << label;
    EXPECT_EQ(test::WindowTextGbk(at("分组框4")), "收入截图");
    EXPECT_EQ(test::WindowTextGbk(at("按钮4")), "注册帐号");
  });
}

// Dark (text) pixels of a control as it shows on the screen.
int DarkPixels(HWND control) {
  RECT r;
  GetClientRect(control, &r);
  HDC dc = GetDC(control);
  int count = 0;
  for (int y = 0; y < r.bottom; ++y)
    for (int x = 0; x < r.right; ++x) {
      const COLORREF c = GetPixel(dc, x, y);
      count += GetRValue(c) < 128 && GetGValue(c) < 128 && GetBValue(c) < 128;
    }
  ReleaseDC(control, dc);
  return count;
}

// Labels and group boxes lie on the tab control, which paints its whole page:
// their text has to come out on top however it is repainted.
TEST_F(PromotionGui, TextOnATabStaysOnTopWhenTheTabControlRepaints) {
  WithDetailsWindow([&](Window& details) {
    test::PumpFor(300);
    HWND tabs = details.ControlHandle(details_window::kTabs);
    const char* texts[] = {"透明标签1", "透明标签9", "分组框2"};
    std::vector<int> before;
    for (const char* name : texts) {
      before.push_back(DarkPixels(details.ControlHandle(name)));
      EXPECT_GT(before.back(), 20) << name;
    }
    RedrawWindow(tabs, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    test::PumpFor(300);
    for (std::size_t i = 0; i < std::size(texts); ++i)
      EXPECT_EQ(DarkPixels(details.ControlHandle(texts[i])), before[i]) << texts[i];
  });
}

// Tab 3 has nothing but its group box where tabs 1 and 2 show their pictures:
// that stretch must come out in the page's colour, with nothing of them left over.
TEST_F(PromotionGui, GroupBoxOnATabShowsThePageWithNothingOfOtherTabs) {
  WithDetailsWindow([&](Window& details) {
    // The colours on screen down a column through the group box, and one
    // pixel of the page beside it.
    auto columnColours = [&] {
      POINT tabs{0, 0};
      ClientToScreen(details.ControlHandle(details_window::kTabs), &tabs);
      HDC screen = GetDC(nullptr);  // what shows, whichever window painted it
      std::set<COLORREF> colours;
      for (int y = 182; y < 490; ++y) colours.insert(GetPixel(screen, tabs.x + 20, tabs.y + y));
      colours.insert(GetPixel(screen, tabs.x + 5, tabs.y + 35));
      ReleaseDC(nullptr, screen);
      return colours;
    };
    test::PumpFor(300);
    EXPECT_GT(columnColours().size(), 1u);  // the first tab's picture lies in that column
    for (int tab : {1, 2}) {
      ClickTab(details, tab);
      test::PumpFor(300);
    }
    EXPECT_EQ(columnColours().size(), 1u);
  });
}

// Under Wine the shell hands web addresses to a browser helper that finds
// no browser here: the call must come back promptly all the same.
TEST_F(PromotionGui, RealShellOpenReturnsPromptly) {
  WindowsShellOpener real;
  Promotion live{real, LoadModalOver};
  std::shared_ptr<Window> window;
  ASSERT_TRUE(LoadWindow(MainWindowLayout(), live.Events(), nullptr, false, &window));
  const DWORD start = GetTickCount();
  SendMessageW(window->ControlHandle(main_window::kProject1Button), BM_CLICK, 0, 0);
  EXPECT_LT(GetTickCount() - start, 10000u);
  DestroyWindow(window->Handle());
}

}  // namespace
}  // namespace vantoip
