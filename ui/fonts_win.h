// The fonts of the program's controls: a CJK-capable family that is really
// installed (a named but missing family is replaced by one without CJK glyphs).
#pragma once

#include <windows.h>

#include "ui/layout.h"

namespace vantoip {

HFONT FontFor(FontRole role);  // created once, kept for the whole run

}  // namespace vantoip
