// The program's declared native commands. Every call into WinINet, kernel32's
// conversions, ole32 and the skinning library goes through this table.
#pragma once

#include "runtime/native_bridge_win.h"

namespace vantoip {

enum NativeEntry : int {
  kSkinAttachRes = 0,
  kInternetOpen = 1,
  kInternetCloseHandle = 2,
  kInternetConnect = 3,
  kHttpOpenRequest = 4,
  kHttpSendRequestText = 5,
  kHttpSendRequestBytes = 6,
  kInternetReadFile = 7,
  kHttpQueryInfo = 8,
  kMultiByteToWideChar = 9,
  kWideCharToMultiByteSize = 10,
  kWideCharToMultiByte = 11,
  kCoInitialize = 12,
  kInternetSetOption = 13,
  kGlobalSize = 14,       // declared, never called
  kRasEnumEntries = 15,   // declared, never called
  kCoUninitialize = 16,
  kNativeEntryCount
};

// The run's table, created empty (nothing loaded) on first use; its modules
// are released at the end of the run.
NativeCommandTable& ProgramCommands();

// Shorthand for ProgramCommands().Call(entry, arguments).
NativeWord CallNativeCommand(NativeEntry entry, std::initializer_list<NativeArgument> arguments);

}  // namespace vantoip
