// Shows the main window and the project-details window, skinned as the
// program skins them, for screenshots (tools/promotion-screenshots).
// usage: promotion_gallery SKIN ready-file go-file
//   SKIN 0 leaves the windows in their own look. For the main window and then
//   each tab of the details window in turn: appends "x y width height" to
//   ready-file once painted, then waits (at most a minute) for go-file and
//   deletes it.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>

#include "app/main_window_layout.h"
#include "app/modal_window_win.h"
#include "app/program_win.h"
#include "app/promotion/project_details_controls.h"
#include "app/promotion/project_details_layout.h"
#include "app/promotion/promotion.h"
#include "app/skin_win.h"
#include "tests/support/gui_win.h"
#include "ui/message_loop_win.h"
#include "ui/window_win.h"

using namespace vantoip;

namespace {

struct NoShell : ShellOpener {
  void Open(const std::string&) override {}
};

void Announce(HWND window, const char* readyFile, const char* goFile) {
  test::PumpFor(800);
  RECT r;
  GetWindowRect(window, &r);
  FILE* ready = std::fopen(readyFile, "a");
  std::fprintf(ready, "%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
  std::fclose(ready);
  for (int i = 0; i < 600 && GetFileAttributesA(goFile) == INVALID_FILE_ATTRIBUTES; ++i) test::PumpFor(100);
  DeleteFileA(goFile);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  PrepareRun();
  const int skin = std::atoi(argv[1]);
  NoShell shell;
  Promotion promotion{shell, LoadModalOver};
  std::vector<EventBinding> events = promotion.Events();
  // Skinned as the program does it: first thing when the main window exists.
  events.push_back({kThisWindow, EventKind::Created, [skin](const EventArgs&) {
                      if (skin) ApplySkin(skin);
                    }});
  std::shared_ptr<Window> main;
  if (!LoadWindow(MainWindowLayout(), events, nullptr, false, &main)) return 1;
  Announce(main->Handle(), argv[2], argv[3]);

  std::shared_ptr<Window> details;
  if (!LoadWindow(ProjectDetailsLayout(), promotion.DetailsEvents(), main->Handle(), false, &details)) return 1;
  HWND tabs = details->ControlHandle(details_window::kTabs);
  for (int tab = 0; tab < TabCtrl_GetItemCount(tabs); ++tab) {
    RECT item;
    TabCtrl_GetItemRect(tabs, tab, &item);
    const LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
    SendMessageW(tabs, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(tabs, WM_LBUTTONUP, 0, at);
    Announce(details->Handle(), argv[2], argv[3]);
  }
  return 0;
}
