#pragma once

#include <vector>

#include "ui/layout.h"
#include "ui/window_controls.h"

namespace vantoip {

// A ModalWindowLoader over the window framework: the window that raised
// `click` is the owner, disabled until the new window has been closed.
void LoadModalOver(const EventArgs& click, const WindowLayout& layout, std::vector<EventBinding> events);

}  // namespace vantoip
