#pragma once

#include "ui/layout.h"

namespace vantoip {

// The main window: proxy list, status line, the two switch buttons and the
// advertising area, in creation (and tab) order.
const WindowLayout& MainWindowLayout();

}  // namespace vantoip
