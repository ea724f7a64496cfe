#include "ui/list_rows_win.h"

#include <algorithm>

namespace vantoip {

int ListRows::Append() {
  const int row = count_++;
  cells_.resize(static_cast<std::size_t>(count_) * columns_);
  order_.push_back(row);
  if (filter_ || rebuild_) {
    places_.push_back(-1);
    rebuild_ = true;
  } else {
    places_.push_back(static_cast<int>(shown_.size()));
    shown_.push_back(row);
  }
  return row;
}

void ListRows::SetCell(int row, int column, std::wstring_view text) {
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
    rebuild_ = true;  // the row may come or go
    return;
  }
  const int place = places_[row];
  if (place < 0 || place >= viewCount_) return;  // drawn once the view learns of it
  redrawFrom_ = redrawFrom_ < 0 ? place : std::min(redrawFrom_, place);
  redrawTo_ = std::max(redrawTo_, place);
}

std::wstring_view ListRows::Cell(int row, int column) const {
  if (!Inside(row, column)) return {};
  const Span& cell = cells_[static_cast<std::size_t>(row) * columns_ + column];
  return {pool_.data() + cell.offset, cell.length};
}

void ListRows::Clear() {
  count_ = 0;
  cells_.clear();  // both keep their capacity for the next fill
  pool_.clear();
  garbage_ = 0;
  order_.clear();
  shown_.clear();
  places_.clear();
  rebuild_ = false;
  redrawFrom_ = redrawTo_ = -1;
  SyncView();
}

void ListRows::Sort(const std::function<bool(int, int)>& less) {
  std::stable_sort(order_.begin(), order_.end(), less);
  rebuild_ = true;
  SyncView();
}

void ListRows::Filter(std::function<bool(int)> shown) {
  filter_ = std::move(shown);
  rebuild_ = true;
  SyncView();
}

int ListRows::RowAt(int place) const {
  return place >= 0 && place < static_cast<int>(shown_.size()) ? shown_[place] : -1;
}

int ListRows::PlaceOf(int row) const { return row >= 0 && row < Count() ? places_[row] : -1; }

void ListRows::Rebuild() {
  shown_.clear();
  places_.assign(count_, -1);
  for (int row : order_) {
    if (filter_ && !filter_(row)) continue;
    places_[row] = static_cast<int>(shown_.size());
    shown_.push_back(row);
  }
  rebuild_ = false;
}

bool ListRows::SyncView(bool withCount) {
  const int count = static_cast<int>(shown_.size());
  if (rebuild_) {
    const int selected = RowAt(ListView_GetNextItem(view_, -1, LVNI_SELECTED));
    // A list scrolled down stays on the row at its top; one at its start stays there.
    const int top = ListView_GetTopIndex(view_);
    const int topRow = top > 0 ? RowAt(top) : -1;
    const std::vector<int> before = shown_;
    Rebuild();
    if (shown_ == before && viewCount_ == count) {  // the same rows in the same places
      InvalidateRect(view_, nullptr, FALSE);
      redrawFrom_ = redrawTo_ = -1;
      return false;
    }
    viewCount_ = static_cast<int>(shown_.size());
    SendMessageW(view_, LVM_SETITEMCOUNT, viewCount_, LVSICF_NOSCROLL);
    ListView_SetItemState(view_, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    if (const int place = PlaceOf(selected); place >= 0)
      ListView_SetItemState(view_, place, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    RECT line;
    if (const int place = PlaceOf(topRow); place >= 0 && ListView_GetItemRect(view_, 0, &line, LVIR_BOUNDS))
      ListView_Scroll(view_, 0, (place - ListView_GetTopIndex(view_)) * (line.bottom - line.top));
    InvalidateRect(view_, nullptr, TRUE);
    redrawFrom_ = redrawTo_ = -1;
    return false;
  }
  if (viewCount_ != count && withCount) {
    SendMessageW(view_, LVM_SETITEMCOUNT, count, LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
    if (count < viewCount_) InvalidateRect(view_, nullptr, TRUE);
    viewCount_ = count;
  }
  if (redrawFrom_ >= 0) {
    // Only rows in sight: the view invalidates the rows of a range one by one.
    const int top = ListView_GetTopIndex(view_);
    const int from = std::max(redrawFrom_, top);
    const int to = std::min({redrawTo_, viewCount_ - 1, top + ListView_GetCountPerPage(view_)});
    if (from <= to) ListView_RedrawItems(view_, from, to);
    redrawFrom_ = redrawTo_ = -1;
  }
  return viewCount_ != count;
}

void ListRows::Fill(NMLVDISPINFOW& request) const {
  LVITEMW& item = request.item;
  if (!(item.mask & LVIF_TEXT) || !item.pszText || item.cchTextMax <= 0) return;
  const std::wstring_view text = Cell(RowAt(item.iItem), item.iSubItem);
  const std::size_t n = std::min<std::size_t>(text.size(), item.cchTextMax - 1);
  text.copy(item.pszText, n);
  item.pszText[n] = L'\0';
}

}  // namespace vantoip
