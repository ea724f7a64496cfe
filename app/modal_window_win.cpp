#include "app/modal_window_win.h"

#include "ui/message_loop_win.h"
#include "ui/window_win.h"

namespace vantoip {

void LoadModalOver(const EventArgs& click, const WindowLayout& layout, std::vector<EventBinding> events) {
  const auto owner = std::dynamic_pointer_cast<Window>(click.window);
  LoadWindow(layout, std::move(events), owner ? owner->Handle() : nullptr, true);
}

}  // namespace vantoip
