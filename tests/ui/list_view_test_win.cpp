// The list view of the window framework: rows written from workers and what
// the view shows of them.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <thread>

#include "tests/support/gui_win.h"
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

}  // namespace
}  // namespace vantoip
