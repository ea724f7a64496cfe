#include "ui/row_store.h"

#include <algorithm>

namespace vantoip {

int RowStore::Append() {
  const int row = count_++;
  cells_.resize(static_cast<std::size_t>(count_) * columns_);
  order_.push_back(row);
  if (filter_ || reorder_) {
    places_.push_back(-1);
    reorder_ = true;
  } else {
    places_.push_back(static_cast<int>(shown_.size()));
    shown_.push_back(row);
  }
  return row;
}

void RowStore::SetCell(int row, int column, std::wstring_view text) {
  if (!Inside(row, column)) return;
  Span& cell = cells_[static_cast<std::size_t>(row) * columns_ + column];
  garbage_ += cell.length;
  if (garbage_ > pool_.size() / 2 && garbage_ > 4096) {  // rewritten texts: compact the pool
    std::vector<wchar_t> live;
    live.reserve(pool_.size() - garbage_ + text.size());
    for (Span& other : cells_) {
      const std::size_t at = live.size();
      live.insert(live.end(), pool_.begin() + other.offset, pool_.begin() + other.offset + other.length);
      other.offset = at;
    }
    pool_.swap(live);
    garbage_ = cell.length;
  }
  cell = {pool_.size(), text.size()};
  pool_.insert(pool_.end(), text.begin(), text.end());
  if (filter_) {
    reorder_ = true;  // the row may come or go
    return;
  }
  const int place = places_[row];
  if (place < 0) return;
  changed_.from = changed_.from < 0 ? place : std::min(changed_.from, place);
  changed_.to = std::max(changed_.to, place);
}

std::wstring_view RowStore::Cell(int row, int column) const {
  if (!Inside(row, column)) return {};
  const Span& cell = cells_[static_cast<std::size_t>(row) * columns_ + column];
  return {pool_.data() + cell.offset, cell.length};
}

void RowStore::Clear() {
  count_ = 0;
  cells_.clear();  // both keep their capacity for the next fill
  pool_.clear();
  garbage_ = 0;
  order_.clear();
  shown_.clear();
  places_.clear();
  reorder_ = false;
  changed_ = {};
}

void RowStore::Sort(const std::function<bool(int, int)>& less) {
  std::stable_sort(order_.begin(), order_.end(), less);
  reorder_ = true;
}

void RowStore::Filter(std::function<bool(int)> shown) {
  filter_ = std::move(shown);
  reorder_ = true;
}

void RowStore::Reorder() {
  shown_.clear();
  places_.assign(count_, -1);
  for (int row : order_) {
    if (filter_ && !filter_(row)) continue;
    places_[row] = static_cast<int>(shown_.size());
    shown_.push_back(row);
  }
  reorder_ = false;
  changed_ = {};  // every place is new
}

int RowStore::RowAt(int place) const {
  return place >= 0 && place < ShownCount() ? shown_[place] : -1;
}

int RowStore::PlaceOf(int row) const { return row >= 0 && row < count_ ? places_[row] : -1; }

RowStore::Places RowStore::TakeChangedPlaces() { return std::exchange(changed_, {}); }

}  // namespace vantoip
