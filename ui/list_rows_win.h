// The rows of a report list view, kept by the program (the list view asks for
// the texts it shows). The view learns of appended rows when told to sync:
// telling it about each new row makes it update its scroll bar every time,
// which costs far more than the row itself.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

namespace vantoip {

class ListRows {
 public:
  ListRows(HWND view, int columns) : view_(view), columns_(columns) {}

  int Append();                                            // index of the new empty row
  void SetCell(int row, int column, std::wstring text);   // ignored outside the rows and columns
  const std::wstring* Cell(int row, int column) const;    // null outside
  void Clear();
  int Count() const { return static_cast<int>(rows_.size()); }

  // Brings the view's row count up to date.
  void SyncView();
  // Answers the view's request for a cell's text.
  void Fill(NMLVDISPINFOW& request) const;

 private:
  HWND view_;
  int columns_;
  std::vector<std::vector<std::wstring>> rows_;
  int shown_ = 0;  // rows the view knows of
};

}  // namespace vantoip
