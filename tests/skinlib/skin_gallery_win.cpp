// Shows the demo windows in stored skin N (0: the windows' own look) for
// screenshots: the main window skinned before it is shown, as the program
// does, with buttons in each of their states; then the details window,
// created after the skin, in front of it.
// usage: skin_gallery N ready-file go-file
//   For each window in turn: appends "x y width height" to ready-file once it
//   is painted, then waits (at most a minute) for go-file and deletes it.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "app/skin_win.h"
#include "tests/skinlib/demo_windows_win.h"

using namespace vantoip::test;

namespace {

void Announce(HWND window, const char* readyFile, const char* goFile) {
  PumpMessages(800);
  RECT r;
  GetWindowRect(window, &r);
  FILE* ready = std::fopen(readyFile, "a");
  std::fprintf(ready, "%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
  std::fclose(ready);
  for (int i = 0; i < 600 && GetFileAttributesA(goFile) == INVALID_FILE_ATTRIBUTES; ++i) PumpMessages(100);
  DeleteFileA(goFile);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  HWND main = CreateDemoMainWindow(10, 10);
  vantoip::ApplySkin(std::atoi(argv[1]));
  ShowWindow(main, SW_SHOWNORMAL);
  UpdateWindow(main);
  SetFocus(DemoItem(main, kDemoRefresh));
  SendMessageW(DemoItem(main, kDemoProject2), BM_SETSTATE, TRUE, 0);
  EnableWindow(DemoItem(main, kDemoProject4), FALSE);
  RECT hot;
  GetWindowRect(DemoItem(main, kDemoProject1), &hot);
  SetCursorPos(hot.left + 20, hot.top + 10);
  Announce(main, argv[2], argv[3]);

  HWND details = CreateDemoDetailsWindow(main, 10, 10);
  ShowWindow(details, SW_SHOWNORMAL);
  UpdateWindow(details);
  Announce(details, argv[2], argv[3]);
  return 0;
}
