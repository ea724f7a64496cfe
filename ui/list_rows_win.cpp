#include "ui/list_rows_win.h"

#include <algorithm>

namespace vantoip {

int ListRows::Append() {
  rows_.emplace_back(columns_);
  return Count() - 1;
}

void ListRows::SetCell(int row, int column, std::wstring text) {
  if (row < 0 || row >= Count() || column < 0 || column >= columns_) return;
  rows_[row][column] = std::move(text);
  if (row < shown_) ListView_RedrawItems(view_, row, row);
}

const std::wstring* ListRows::Cell(int row, int column) const {
  if (row < 0 || row >= Count() || column < 0 || column >= columns_) return nullptr;
  return &rows_[row][column];
}

void ListRows::Clear() {
  rows_.clear();
  SyncView();
}

void ListRows::SyncView() {
  if (shown_ == Count()) return;
  SendMessageW(view_, LVM_SETITEMCOUNT, Count(), LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
  if (Count() < shown_) InvalidateRect(view_, nullptr, TRUE);
  shown_ = Count();
}

void ListRows::Fill(NMLVDISPINFOW& request) const {
  LVITEMW& item = request.item;
  if (!(item.mask & LVIF_TEXT) || !item.pszText || item.cchTextMax <= 0) return;
  const std::wstring* text = Cell(item.iItem, item.iSubItem);
  const std::size_t n = text ? std::min<std::size_t>(text->size(), item.cchTextMax - 1) : 0;
  if (n) text->copy(item.pszText, n);
  item.pszText[n] = L'\0';
}

}  // namespace vantoip
