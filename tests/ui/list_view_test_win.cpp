// The list view of the window framework: rows written from workers and what
// the view shows of them.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <thread>

#include "tests/support/gui_win.h"
#include "ui/message_loop_win.h"
#include "ui/window_win.h"

namespace vantoip {
namespace {

const WindowLayout& ListLayout() {
  static const WindowLayout layout{
      .name = "list",
      .title = "list",
      .left = 10, .top = 10, .width = 400, .height = 300,
      .controls = {{.name = "list", .kind = ControlKind::ListView, .left = 5, .top = 5, .width = 380, .height = 250,
                    .columns = {{"a", 100, Alignment::Left}, {"b", 100, Alignment::Centre}}}},
  };
  return layout;
}

struct ListView : test::WindowTest {
  void SetUp() override {
    WindowTest::SetUp();
    window = Window::Create(ListLayout(), {});
    ASSERT_TRUE(window);
  }
  int ViewCount() { return ListView_GetItemCount(window->ControlHandle("list")); }
};

// Held down, a key repeats its WM_KEYDOWN with bit 30 set: its command runs once.
TEST_F(ListView, AKeyHeldDownRaisesItsEventOnce) {
  int raised = 0;
  window = Window::Create(ListLayout(), {{kThisWindow, EventKind::Key, [&](const EventArgs&) { ++raised; }}});
  ASSERT_TRUE(window);
  MSG press{window->ControlHandle("list"), WM_KEYDOWN, 'T', 1};
  DispatchProgramMessage(press);
  MSG repeat = press;
  repeat.lParam |= 1 << 30;
  for (int i = 0; i < 30; ++i) DispatchProgramMessage(repeat);
  EXPECT_EQ(raised, 1);
  DispatchProgramMessage(press);  // pressed again after a release
  EXPECT_EQ(raised, 2);
}

TEST_F(ListView, ATitleWrittenAfterRowsFindsThemAllInTheView) {
  // Rows and the title queued in one go, all run in one slice of queued work.
  std::thread worker([&] {
    for (int row = 0; row < 3; ++row) {
      window->InsertRow("list");
      window->SetCellText("list", row, 0, std::to_string(row));
    }
    window->SetCaption(kThisWindow, "done");
  });
  worker.join();
  int countAtTitle = -1;
  ASSERT_TRUE(test::PumpUntil([&] {
    if (test::WindowTextGbk(window->Handle()) != "done") return false;
    countAtTitle = ViewCount();
    return true;
  }));
  EXPECT_EQ(countAtTitle, 3);
  EXPECT_EQ(window->GetCellText("list", 2, 0), "2");
}

TEST_F(ListView, SortedAndFilteredRowsKeepTheirNumbersAndTheSelectionFollowsItsRow) {
  for (int row = 0; row < 4; ++row) {
    window->InsertRow("list");
    window->SetCellText("list", row, 0, std::to_string(row));
  }
  HWND list = window->ControlHandle("list");
  window->SelectRow("list", 1);
  window->SortRows("list", 0, false, [](int a, int b) { return a > b; });
  ASSERT_EQ(ListView_GetItemCount(list), 4);
  EXPECT_EQ(test::ListTextShown(list, 0, 0), "3");
  EXPECT_EQ(test::ListTextShown(list, 3, 0), "0");
  EXPECT_EQ(window->CurrentRow("list"), 1);  // rows keep their numbers
  EXPECT_EQ(ListView_GetNextItem(list, -1, LVNI_SELECTED), 2);  // shown at its new place
  EXPECT_EQ(window->GetCellText("list", 3, 0), "3");

  window->FilterRows("list", [](int row) { return row % 2 == 1; });
  ASSERT_EQ(ListView_GetItemCount(list), 2);
  EXPECT_EQ(test::ListTextShown(list, 0, 0), "3");
  EXPECT_EQ(test::ListTextShown(list, 1, 0), "1");
  window->SetCellText("list", 2, 0, "2");  // asked again as cells change
  window->FilterRows("list", [&](int row) { return window->GetCellText("list", row, 0) == "2"; });
  ASSERT_EQ(ListView_GetItemCount(list), 1);
  EXPECT_EQ(window->CurrentRow("list"), -1);  // its row is hidden now
  window->FilterRows("list", nullptr);
  EXPECT_EQ(ListView_GetItemCount(list), 4);

  // Scrolled down, a new order keeps the row at the top in sight, at the top.
  for (int row = 4; row < 100; ++row) {
    window->InsertRow("list");
    window->SetCellText("list", row, 0, std::to_string(row));
  }
  window->SortRows("list", 0, true, [](int a, int b) { return a < b; });
  RECT line;
  ListView_GetItemRect(list, 0, &line, LVIR_BOUNDS);
  ListView_Scroll(list, 0, 40 * (line.bottom - line.top));
  ASSERT_EQ(ListView_GetTopIndex(list), 40);
  window->SortRows("list", 0, false, [](int a, int b) { return a > b; });
  EXPECT_EQ(test::ListTextShown(list, ListView_GetTopIndex(list), 0), "40");
}

}  // namespace
}  // namespace vantoip
