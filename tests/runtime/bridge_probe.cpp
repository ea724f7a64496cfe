// Child process for the bridge tests: calls one entry, chosen by argument,
// through the program's table or through a test table.
#include <windows.h>

#include <cstring>
#include <string>

#include "runtime/encoding_win.h"
#include "runtime/fatal_win.h"
#include "runtime/native_bridge_win.h"
#include "runtime/native_commands_win.h"

int main(int argc, char** argv) {
  using namespace vantoip;
  InstallFatalErrorBox();
  const std::string what = argc > 1 ? argv[1] : "";
  const std::string dll = WideToGbk(ProgramFolder()) + "\\..\\bridge_test_dll.dll";
  const NativeCommand commands[] = {
      {dll.c_str(), "Add2", "III"},          // declared with one integer too many
      {dll.c_str(), "CdeclTwo", "II"},       // caller-cleans function declared as stdcall
      {"no_such_library_vantoip.dll", "Anything", "I"},
      {"", "NoSuchExportVantoip", ""},
  };
  NativeCommandTable table(commands);
  // On i686 both end in the stack check; on x86_64 they return their results.
  if (what == "extra-argument") return table.Call(0, {1, 2, 3}) == 3 ? 0 : 5;
  if (what == "cdecl") return static_cast<std::uint32_t>(table.Call(1, {2, 3})) == 6 ? 0 : 5;
  if (what == "missing-library") {
    table.Call(2, {1});
  }
  if (what == "missing-export") table.Call(3, {});
  if (what == "program-wininet") {
    // The planted wininet.dll beside this program must not be the one called.
    const NativeWord handle = CallNativeCommand(kInternetOpen, {std::string("probe"), 1, std::string(), std::string(), 0});
    CallNativeCommand(kInternetCloseHandle, {handle});
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(ProgramCommands().ModuleOf(kInternetOpen), path, MAX_PATH);
    return handle != 0 && _wcsnicmp(path, ProgramFolder().c_str(), ProgramFolder().size()) != 0 ? 0 : 3;
  }
  if (what == "bare-wininet") return LoadLibraryA("wininet.dll") ? 0 : 4;  // proves the plant works
  // A program library that is not in the program folder but in the current directory.
  if (what == "bare-test-dll" || what == "program-test-dll") {
    SetCurrentDirectoryW((ProgramFolder() + L"\\..").c_str());
    if (what == "bare-test-dll") return LoadLibraryA("bridge_test_dll.dll") ? 0 : 4;
    const NativeCommand besideTheProgram[] = {{"bridge_test_dll.dll", "Add2", "II", LibraryFolder::Program}};
    return static_cast<int>(NativeCommandTable(besideTheProgram).Call(0, {2, 3}));
  }
  return 0;
}
