// Stands in for the skinning library in tests: SkinH_AttachRes records how it
// was called, RecordedAttach hands the record out. With a file "refuse_load"
// in the current directory it fails to load.
#include <windows.h>

#include <cstring>

#include "tests/skinlib/recorded_attach.h"

namespace {
vantoip::test::RecordedAttach g_recorded;
}

extern "C" int __stdcall SkinH_AttachRes(const unsigned char* data, int length, const char* text, int a, int b,
                                         int c) {
  ++g_recorded.calls;
  g_recorded.dataIsNull = data == nullptr;
  if (data && length >= 6) std::memcpy(g_recorded.head, data, 6);
  g_recorded.length = length;
  g_recorded.textIsNull = text == nullptr;
  g_recorded.reserved[0] = a;
  g_recorded.reserved[1] = b;
  g_recorded.reserved[2] = c;
  return 0;
}

extern "C" const vantoip::test::RecordedAttach* __cdecl RecordedAttach() { return &g_recorded; }

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  return reason != DLL_PROCESS_ATTACH || GetFileAttributesA("refuse_load") == INVALID_FILE_ATTRIBUTES;
}
