#include "ui/list_rows_win.h"

#include <algorithm>
#include <vector>

namespace vantoip {

bool ListRows::SyncView(bool withCount) {
  const int count = ShownCount();
  if (Reordered()) {
    const int selected = RowAt(ListView_GetNextItem(view_, -1, LVNI_SELECTED));
    // A list scrolled down stays on the row at its top; one at its start stays there.
    const int top = ListView_GetTopIndex(view_);
    const int topRow = top > 0 ? RowAt(top) : -1;
    const std::vector<int> before = Shown();
    Reorder();
    if (Shown() == before && viewCount_ == count) {  // the same rows in the same places
      InvalidateRect(view_, nullptr, FALSE);
      return false;
    }
    viewCount_ = ShownCount();
    SendMessageW(view_, LVM_SETITEMCOUNT, viewCount_, LVSICF_NOSCROLL);
    ListView_SetItemState(view_, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    if (const int place = PlaceOf(selected); place >= 0)
      ListView_SetItemState(view_, place, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    RECT line;
    if (const int place = PlaceOf(topRow); place >= 0 && ListView_GetItemRect(view_, 0, &line, LVIR_BOUNDS))
      ListView_Scroll(view_, 0, (place - ListView_GetTopIndex(view_)) * (line.bottom - line.top));
    InvalidateRect(view_, nullptr, TRUE);
    return false;
  }
  if (viewCount_ != count && withCount) {
    SendMessageW(view_, LVM_SETITEMCOUNT, count, LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
    if (count < viewCount_) InvalidateRect(view_, nullptr, TRUE);
    viewCount_ = count;
  }
  if (const Places changed = TakeChangedPlaces(); changed.from >= 0) {
    // Only rows in sight the view knows of (others are drawn once it learns
    // of them): the view invalidates the rows of a range one by one.
    const int top = ListView_GetTopIndex(view_);
    const int from = std::max(changed.from, top);
    const int to = std::min({changed.to, viewCount_ - 1, top + ListView_GetCountPerPage(view_)});
    if (from <= to) ListView_RedrawItems(view_, from, to);
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
