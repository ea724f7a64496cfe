// Stands in for a DLL planted beside the program under a system library's
// name: loading it leaves a marker file in the current directory.
#include <windows.h>

#include "runtime/handle_win.h"

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    vantoip::FileHandle(CreateFileA("planted_dll_was_loaded.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  }
  return TRUE;
}

extern "C" __declspec(dllexport) void* __stdcall InternetOpenA(const char*, DWORD, const char*, const char*, DWORD) {
  return nullptr;
}
