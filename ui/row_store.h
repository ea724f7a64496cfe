// The rows of a list, kept by the program (a list view asks for the texts it
// shows). Their texts live in one pool that keeps its size from one fill of
// the list to the next: thousands of small texts that outlive the page they
// came from would otherwise scatter the heap. Rows keep the number they were
// appended as; they are shown in an order of their own (sorted) and some may
// be left out (filtered). The store notes what changed for whoever shows it,
// which catches up once for many changes.
#pragma once

#include <cstddef>
#include <functional>
#include <string_view>
#include <utility>
#include <vector>

namespace vantoip {

class RowStore {
 public:
  explicit RowStore(int columns) : columns_(columns) {}

  int Append();                                               // number of the new empty row
  void SetCell(int row, int column, std::wstring_view text);  // ignored outside the rows and columns
  std::wstring_view Cell(int row, int column) const;          // empty outside
  void Clear();                                               // the order and the rows go; the filter stays
  int Count() const { return count_; }

  // Shows the rows in the order `less` gives; rows appended later follow them.
  void Sort(const std::function<bool(int, int)>& less);
  // Shows only the rows for which `shown` holds (all when empty), asked again
  // at the next Reorder whenever a cell has changed.
  void Filter(std::function<bool(int)> shown);

  // Order or filter changed (or a filtered cell): the places wait for Reorder.
  bool Reordered() const { return reorder_; }
  void Reorder();
  // The rows shown, the row shown at a place, and the place of a row (-1:
  // none, hidden), as of the last Reorder.
  int ShownCount() const { return static_cast<int>(shown_.size()); }
  const std::vector<int>& Shown() const { return shown_; }
  int RowAt(int place) const;
  int PlaceOf(int row) const;

  // The places whose cells changed since the last call, [from, to]; from < 0: none.
  struct Places {
    int from = -1, to = -1;
  };
  Places TakeChangedPlaces();

  std::size_t PoolCharacters() const { return pool_.size(); }  // held for the texts, live or not

 private:
  bool Inside(int row, int column) const { return row >= 0 && row < count_ && column >= 0 && column < columns_; }

  struct Span {
    std::size_t offset = 0, length = 0;
  };

  int columns_;
  int count_ = 0;
  std::vector<Span> cells_;  // row by row
  std::vector<wchar_t> pool_;
  std::size_t garbage_ = 0;  // characters of the pool no cell uses any more
  std::vector<int> order_;   // every row, in the order shown
  std::vector<int> shown_;   // the rows shown, by place
  std::vector<int> places_;  // place of each row, -1 when hidden
  std::function<bool(int)> filter_;
  bool reorder_ = false;
  Places changed_;
};

}  // namespace vantoip
