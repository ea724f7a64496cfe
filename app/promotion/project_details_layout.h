#pragma once

#include "ui/layout.h"

namespace vantoip {

// Stored pictures (RCDATA resources of the program) of the two picture boxes.
inline constexpr char kProject1Picture[] = "PROJECT1_INCOME";
inline constexpr char kProject2Picture[] = "PROJECT2_INCOME";

// The project-details window: one tab per project, each with the statement,
// the project's description and its 注册帐号 button.
const WindowLayout& ProjectDetailsLayout();

}  // namespace vantoip
