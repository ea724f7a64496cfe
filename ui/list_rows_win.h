// The rows of a report list view, kept by the program (the list view asks for
// the texts it shows). Their texts live in one pool that keeps its size from
// one fill of the list to the next: thousands of small texts that outlive the
// page they came from would otherwise scatter the heap. Rows keep the number they were appended as; the view
// shows them in an order of its own (sorted) and may leave some out
// (filtered). Changes reach the view when it is told to sync, once for many
// of them: telling it about each new row makes it update its scroll bar every
// time, and each redraw is a round trip to the window system.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vantoip {

class ListRows {
 public:
  ListRows(HWND view, int columns) : view_(view), columns_(columns) {}

  int Append();                                            // number of the new empty row
  void SetCell(int row, int column, std::wstring_view text);  // ignored outside the rows and columns
  std::wstring_view Cell(int row, int column) const;         // empty outside
  void Clear();                                               // the order and the rows go; the filter stays
  int Count() const { return count_; }

  // Shows the rows in the order `less` gives; rows appended later follow them.
  void Sort(const std::function<bool(int, int)>& less);
  // Shows only the rows for which `shown` holds (all when empty), asked again
  // whenever a cell has changed.
  void Filter(std::function<bool(int)> shown);
  // The row shown at a place of the view, and the place of a row (-1: none, hidden).
  int RowAt(int place) const;
  int PlaceOf(int row) const;

  // Brings the view up to date: which rows it shows, in which order, and
  // redraws the rows whose cells changed. The selected row stays selected.
  // Without `count`, rows appended meanwhile wait: the view's scroll bar is
  // redrawn whenever it learns of new rows, which takes far longer than the
  // rows themselves. True when such rows wait.
  bool SyncView(bool count = true);
  // Answers the view's request for a cell's text.
  void Fill(NMLVDISPINFOW& request) const;

 private:
  void Rebuild();
  bool Inside(int row, int column) const { return row >= 0 && row < count_ && column >= 0 && column < columns_; }

  struct Span {
    std::size_t offset = 0, length = 0;
  };

  HWND view_;
  int columns_;
  int count_ = 0;
  std::vector<Span> cells_;  // row by row
  std::vector<wchar_t> pool_;
  std::size_t garbage_ = 0;  // characters of the pool no cell uses any more
  std::vector<int> order_;   // every row, in the order shown
  std::vector<int> shown_;   // the rows the view shows, by place
  std::vector<int> places_;  // place of each row, -1 when hidden
  std::function<bool(int)> filter_;
  int viewCount_ = 0;        // rows the view knows of
  bool rebuild_ = false;     // order or filter changed: places are stale
  int redrawFrom_ = -1, redrawTo_ = -1;  // places whose cells changed
};

}  // namespace vantoip
