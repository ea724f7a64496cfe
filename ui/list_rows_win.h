// The rows a report list view shows (the list view asks for the texts it
// shows). Changes reach the view when it is told to sync, once for many of
// them: telling it about each new row makes it update its scroll bar every
// time, and each redraw is a round trip to the window system.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "ui/row_store.h"

namespace vantoip {

class ListRows : public RowStore {
 public:
  ListRows(HWND view, int columns) : RowStore(columns), view_(view) {}

  // Brings the view up to date: which rows it shows, in which order, and
  // redraws the rows whose cells changed. The selected row stays selected.
  // Without `count`, rows appended meanwhile wait: the view's scroll bar is
  // redrawn whenever it learns of new rows, which takes far longer than the
  // rows themselves. True when such rows wait.
  bool SyncView(bool count = true);
  // Answers the view's request for a cell's text.
  void Fill(NMLVDISPINFOW& request) const;

 private:
  HWND view_;
  int viewCount_ = 0;  // rows the view knows of
};

}  // namespace vantoip
