// The rows of a list apart from any view: texts, order, filter and the
// places a view is told to redraw.
#include "ui/row_store.h"

#include <gtest/gtest.h>

#include <string>

namespace vantoip {
namespace {

std::wstring Text(int n) { return L"row " + std::to_wstring(n); }

TEST(RowStore, CellsOutsideTheRowsAndColumnsAreEmptyAndIgnored) {
  RowStore rows(2);
  EXPECT_EQ(rows.Append(), 0);
  EXPECT_EQ(rows.Append(), 1);
  rows.SetCell(1, 1, L"b");
  rows.SetCell(2, 0, L"x");
  rows.SetCell(0, 2, L"x");
  rows.SetCell(-1, 0, L"x");
  EXPECT_EQ(rows.Cell(1, 1), L"b");
  EXPECT_EQ(rows.Cell(0, 0), L"");
  EXPECT_EQ(rows.Cell(2, 0), L"");
  EXPECT_EQ(rows.Cell(0, -1), L"");
  EXPECT_EQ(rows.Count(), 2);
}

TEST(RowStore, SortedAndFilteredRowsKeepTheirNumbersAndLaterRowsFollow) {
  RowStore rows(1);
  for (int i = 0; i < 4; ++i) rows.SetCell(rows.Append(), 0, Text(i));
  rows.Sort([](int a, int b) { return a > b; });
  EXPECT_TRUE(rows.Reordered());
  EXPECT_EQ(rows.RowAt(0), 0);  // places wait for Reorder
  rows.Append();
  rows.Reorder();
  EXPECT_EQ(rows.Shown(), (std::vector<int>{3, 2, 1, 0, 4}));
  EXPECT_EQ(rows.PlaceOf(3), 0);
  EXPECT_EQ(rows.Cell(rows.RowAt(0), 0), Text(3));

  rows.Filter([&](int row) { return rows.Cell(row, 0) == Text(1) || rows.Cell(row, 0) == L"new"; });
  rows.Reorder();
  EXPECT_EQ(rows.Shown(), (std::vector<int>{1}));
  EXPECT_EQ(rows.PlaceOf(0), -1);
  rows.SetCell(4, 0, L"new");  // the filter is asked again
  EXPECT_TRUE(rows.Reordered());
  rows.Reorder();
  EXPECT_EQ(rows.Shown(), (std::vector<int>{1, 4}));

  rows.Clear();  // the filter stays
  rows.SetCell(rows.Append(), 0, L"new");
  rows.Append();
  rows.Reorder();
  EXPECT_EQ(rows.Shown(), (std::vector<int>{0}));
  rows.Filter(nullptr);
  rows.Reorder();
  EXPECT_EQ(rows.ShownCount(), 2);
  EXPECT_EQ(rows.RowAt(2), -1);
}

TEST(RowStore, ChangedCellsAreReportedAsOneRangeOfPlaces) {
  RowStore rows(2);
  for (int i = 0; i < 10; ++i) rows.Append();
  rows.Sort([](int a, int b) { return a > b; });
  rows.Reorder();
  EXPECT_EQ(rows.TakeChangedPlaces().from, -1);
  rows.SetCell(2, 1, L"x");  // place 7
  rows.SetCell(8, 0, L"y");  // place 1
  const RowStore::Places changed = rows.TakeChangedPlaces();
  EXPECT_EQ(changed.from, 1);
  EXPECT_EQ(changed.to, 7);
  EXPECT_EQ(rows.TakeChangedPlaces().from, -1);
  rows.SetCell(0, 0, L"z");
  rows.Reorder();  // every place is redrawn anyway
  EXPECT_EQ(rows.TakeChangedPlaces().from, -1);
}

TEST(RowStore, RewrittenTextsAreCompactedAndEveryCellKeepsItsText) {
  RowStore rows(3);
  for (int i = 0; i < 200; ++i) {
    const int row = rows.Append();
    for (int c = 0; c < 3; ++c) rows.SetCell(row, c, Text(i * 3 + c));
  }
  const std::size_t live = rows.PoolCharacters();
  // Rewriting one column over and over leaves garbage far past the threshold.
  for (int round = 0; round < 50; ++round)
    for (int i = 0; i < 200; ++i) rows.SetCell(i, 1, Text(round * 1000 + i));
  for (int i = 0; i < 200; ++i) {
    EXPECT_EQ(rows.Cell(i, 0), Text(i * 3));
    EXPECT_EQ(rows.Cell(i, 1), Text(49 * 1000 + i));
    EXPECT_EQ(rows.Cell(i, 2), Text(i * 3 + 2));
  }
  EXPECT_LT(rows.PoolCharacters(), 3 * live + 8192);
  rows.SetCell(5, 2, std::wstring(10000, L'w'));  // a text longer than the pool
  EXPECT_EQ(rows.Cell(5, 2).size(), 10000u);
  EXPECT_EQ(rows.Cell(199, 1), Text(49 * 1000 + 199));
}

}  // namespace
}  // namespace vantoip
