// A window procedure put in front of a window's own. The system's
// SetWindowSubclass finds its chain through a window property on every
// message, a round trip to the server under Wine: a list's paint, which
// notifies the skinned parent once for every cell, took twice as long.
#pragma once

#include <windows.h>

namespace vantoip::skin {

// Puts `proc` in front of `window`'s procedure; once per window.
void Chain(HWND window, WNDPROC proc);

// Calls the procedure `window` had before Chain.
LRESULT CallNext(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Gives `window` its own procedure back. When another procedure was put in
// front since, ours stays in the chain and only passes messages on.
void Unchain(HWND window, WNDPROC proc);

// To be called by a chained procedure at WM_NCDESTROY, after CallNext.
void ForgetChain(HWND window);

}  // namespace vantoip::skin
