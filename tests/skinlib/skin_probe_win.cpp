// Runs ApplySkin(N) as the program does, in its own folder, carrying the
// recording stand-in as its skinning library, and writes to report-file what
// reached the library:
//   "not loaded", or "calls data length text reserved..." such as
//   "1 2e5348450003 515 null 0 0 0" (data "null" when the pointer was null).
// usage: skin_probe N report-file
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "app/skin_win.h"
#include "runtime/fatal_win.h"
#include "runtime/native_bridge_win.h"
#include "tests/skinlib/recorded_attach.h"

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  vantoip::InstallFatalErrorBox();
  SetCurrentDirectoryW(vantoip::ProgramFolder().c_str());  // as the program starts
  vantoip::ApplySkin(std::atoi(argv[1]));

  FILE* report = std::fopen(argv[2], "wb");
  if (!report) return 3;
  HMODULE library = GetModuleHandleA("SkinH_EL.dll");
  using Recorded = const vantoip::test::RecordedAttach*(__cdecl*)();
  const auto recorded =
      library ? reinterpret_cast<Recorded>(reinterpret_cast<void*>(GetProcAddress(library, "RecordedAttach")))
              : nullptr;
  if (!library) {
    std::fputs("not loaded\n", report);
  } else if (!recorded) {
    std::fputs("foreign library loaded\n", report);
  } else {
    const auto* r = recorded();
    std::fprintf(report, "%d ", r->calls);
    if (r->dataIsNull) std::fputs("null", report);
    else for (unsigned char b : r->head) std::fprintf(report, "%02x", b);
    std::fprintf(report, " %d %s %d %d %d\n", r->length, r->textIsNull ? "null" : "text", r->reserved[0],
                 r->reserved[1], r->reserved[2]);
  }
  std::fclose(report);
  return 0;
}
