// A small library for the bridge tests: stdcall exports with known argument
// counts, one of them also reachable by ordinal 12 (see the .def file).
#include <windows.h>

extern "C" __declspec(dllexport) int __stdcall Add2(int a, int b) { return a + b; }
extern "C" __declspec(dllexport) int __stdcall Negate(int a) { return -a; }
extern "C" __declspec(dllexport) int __cdecl CdeclTwo(int a, int b) { return a * b; }
