#include "runtime/native_commands_win.h"

#include "runtime/fatal.h"
#include "runtime/system_win.h"

namespace vantoip {
namespace {

constexpr NativeCommand kProgramCommands[kNativeEntryCount] = {
    {"SkinH_EL.dll", "SkinH_AttachRes", "BITIII", LibraryFolder::Program},
    {"wininet.dll", "InternetOpenA", "TITTI"},
    {"wininet.dll", "InternetCloseHandle", "I"},
    {"wininet.dll", "InternetConnectA", "ITITTIII"},
    {"wininet.dll", "HttpOpenRequestA", "ITTTTTII"},
    {"wininet.dll", "HttpSendRequestA", "ITITI"},
    {"wininet.dll", "HttpSendRequestA", "ITIBI"},
    {"wininet.dll", "InternetReadFile", "IBIR"},
    {"wininet.dll", "HttpQueryInfoA", "IITRI"},
    {"kernel32.dll", "MultiByteToWideChar", "IIBIBI"},
    {"kernel32.dll", "WideCharToMultiByte", "IIBIIIII"},
    {"kernel32.dll", "WideCharToMultiByte", "IIBIBIII"},
    {"ole32.dll", "CoInitialize", "I"},
    {"wininet.dll", "InternetSetOptionA", "IIII"},
    {"", "GlobalSize", "S"},
    {"rasapi32.dll", "RasEnumEntriesA", "IIARR"},
    {"ole32.dll", "CoUninitialize", ""},
};

}  // namespace

NativeCommandTable& ProgramCommands() {
  static NativeCommandTable* table = [] {
    auto* t = new NativeCommandTable(kProgramCommands);  // lives for the whole run
    // Unloading a library while a worker thread still runs inside it (a list
    // download when the window closes) would crash the ending process; the
    // system releases everything anyway when the process ends.
    AtEndOfRun([] {
      if (RunningThreadCount() == 0) ProgramCommands().ReleaseModules();
    });
    return t;
  }();
  return *table;
}

NativeWord CallNativeCommand(NativeEntry entry, std::initializer_list<NativeArgument> arguments) {
  return ProgramCommands().Call(entry, arguments);
}

}  // namespace vantoip
