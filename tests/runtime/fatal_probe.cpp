// A tiny program that raises one fatal runtime error, chosen by its argument,
// so that tests can watch the real error box and exit code.
#include <windows.h>

#include <cstring>
#include <vector>

#include "runtime/bytes.h"
#include "runtime/convert.h"
#include "runtime/fatal.h"
#include "runtime/fatal_win.h"
#include "runtime/handle_win.h"
#include "runtime/native_commands_win.h"
#include "runtime/text_array.h"

namespace {

void MarkEndOfRun() {
  vantoip::FileHandle(CreateFileA("fatal_probe_end.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
}

}  // namespace

int main(int argc, char** argv) {
  using namespace vantoip;
  InstallFatalErrorBox();
  AtEndOfRun(&MarkEndOfRun);
  const char* what = argc > 1 ? argv[1] : "";
  if (!strcmp(what, "remainder")) Remainder({1, 0});
  if (!strcmp(what, "index")) (void)SplitText("a,b")[3];
  if (!strcmp(what, "kind")) ReadBytesValue(ByteBlock{1}, 42);
  if (!strcmp(what, "alloc")) {
    // More than the user address space of the build: 2 GiB on i686, 128 TiB on x86_64.
    volatile std::size_t size = sizeof(void*) == 4 ? 0x7FFFFFF0 : std::size_t{1} << 47;
    std::vector<char> huge(size);
  }
  // No skinning library beside the probe: the program's own table cannot resolve it.
  if (!strcmp(what, "unresolved")) CallNativeCommand(kSkinAttachRes, {ByteBlock(), 0, std::string(), 0, 0, 0});
  return 0;
}
