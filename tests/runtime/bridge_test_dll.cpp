// A small library for the bridge tests: stdcall exports with known argument
// counts, one of them also reachable by ordinal 12 (see the .def file).
// Arguments and results are pointer-sized, so an address passes whole.
#include <windows.h>

extern "C" __declspec(dllexport) INT_PTR __stdcall Add2(INT_PTR a, INT_PTR b) { return a + b; }
extern "C" __declspec(dllexport) INT_PTR __stdcall Negate(INT_PTR a) { return -a; }
extern "C" __declspec(dllexport) int __cdecl CdeclTwo(int a, int b) { return a * b; }
// Six arguments, two of them beyond the four that x64 passes in registers;
// the result shows their order.
extern "C" __declspec(dllexport) INT_PTR __stdcall Digits6(INT_PTR a, INT_PTR b, INT_PTR c, INT_PTR d, INT_PTR e,
                                                           INT_PTR f) {
  return ((((a * 10 + b) * 10 + c) * 10 + d) * 10 + e) * 10 + f;
}
