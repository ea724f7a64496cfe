// Siblings above a window with WS_EX_TRANSPARENT are not clipped out of its
// painting: once it has painted, they must paint again on top. Shared by the
// window framework (its tab control) and the skin (its containers).
#pragma once

#include <windows.h>

namespace vantoip {

// Invalidates the part of `painted` (in `window`'s client coordinates) that
// each visible transparent sibling above `window` covers.
void RepaintTransparentAbove(HWND window, RECT painted);

}  // namespace vantoip
