#include "ui/layout.h"

namespace vantoip {

const ControlLayout* FindControl(const WindowLayout& layout, const std::string& name) {
  for (const ControlLayout& c : layout.controls)
    if (c.name == name) return &c;
  return nullptr;
}

}  // namespace vantoip
