#include "app/promotion/project_details_layout.h"

#include "app/promotion/project_details_controls.h"
#include "app/promotion/promotion_data.h"

namespace vantoip {

const WindowLayout& ProjectDetailsLayout() {
  using K = ControlKind;
  using namespace details_window;
  // Positions on a tab are relative to the tab control, inside a group box to the group box.
  static const WindowLayout layout{
      .name = "项目详情窗口",
      .title = "项目详情",
      .left = 50, .top = 50, .width = 650, .height = 527,
      .controls = {
          {.name = kTabs, .kind = K::TabControl, .width = 648, .height = 504,
           .tabs = {"项目一详情", "项目二详情", "项目三详情", "项目四详情"}},
          // Tab 1
          {.name = kDescription1Shadow, .kind = K::TransparentLabel, .parent = kTabs,
           .left = 8, .top = 55, .width = 576, .height = 125, .caption = ProjectDescription(1), .tab = 0},
          {.name = kPictureFrame1, .kind = K::GroupBox, .parent = kTabs,
           .left = 2, .top = 182, .width = 638, .height = 322, .caption = "收入截图", .tab = 0},
          {.name = kPicture1, .kind = K::PictureBox, .parent = kPictureFrame1,
           .left = 6, .top = 18, .width = 624, .height = 296, .picture = kProject1Picture},
          {.name = kFrame1, .kind = K::GroupBox, .parent = kTabs,
           .left = 2, .top = 45, .width = 638, .height = 135, .tab = 0},
          {.name = kProject1Button, .kind = K::PushButton, .parent = kFrame1,
           .left = 592, .top = 8, .width = 40, .height = 123, .caption = "注册帐号", .tabStop = true},
          {.name = kDescription1, .kind = K::TransparentLabel, .parent = kTabs,
           .left = 8, .top = 55, .width = 576, .height = 125, .caption = ProjectDescription(1), .tab = 0},
          {.name = kStatement1, .kind = K::TransparentLabel, .parent = kTabs,
           .left = 9, .top = 23, .width = 623, .height = 32, .caption = ProjectStatement(), .tab = 0},
          // Tab 2
          {.name = kPictureFrame2, .kind = K::GroupBox, .parent = kTabs,
           .left = 2, .top = 182, .width = 638, .height = 322, .caption = "收入截图", .tab = 1},
          {.name = kPicture2, .kind = K::PictureBox, .parent = kPictureFrame2,
           .left = 22, .top = 18, .width = 456, .height = 176, .picture = kProject2Picture},
          {.name = kDescription2, .kind = K::TransparentLabel, .parent = kTabs,
           .left = 8, .top = 55, .width = 392, .height = 125, .caption = ProjectDescription(2), .tab = 1},
          {.name = kFrame2, .kind = K::GroupBox, .parent = kTabs,
           .left = 2, .top = 45, .width = 638, .height = 135, .tab = 1},
          {.name = kProject2Button, .kind = K::PushButton, .parent = kFrame2,
           .left = 545, .top = 8, .width = 85, .height = 123, .caption = "注册帐号", .tabStop = true},
          {.name = kStatement2, .kind = K::TransparentLabel, .parent = kTabs,
           .left = 9, .top = 23, .width = 623, .height = 32, .caption = ProjectStatement(), .tab = 1},
          // Tab 3
          {.name = kDescription3, .kind = K::TransparentLabel, .parent = kTabs,
           .left = 8, .top = 55, .width = 616, .height = 125, .caption = ProjectDescription(3), .tab = 2},
          {.name = kFrame3, .kind = K::GroupBox, .parent = kTabs,
           .left = 2, .top = 45, .width = 638, .height = 451, .tab = 2},
          {.name = kProject3Button, .kind = K::PushButton, .parent = kFrame3,
           .left = 153, .top = 152, .width = 325, .height = 83, .caption = "注册帐号", .tabStop = true},
          {.name = kStatement3, .kind = K::TransparentLabel, .parent = kTabs,
           .left = 9, .top = 23, .width = 623, .height = 32, .caption = ProjectStatement(), .tab = 2},
          // Tab 4
          {.name = kDescription4, .kind = K::TransparentLabel, .parent = kTabs,
           .left = 8, .top = 55, .width = 528, .height = 125, .caption = ProjectDescription(4), .tab = 3},
          {.name = kFrame4, .kind = K::GroupBox, .parent = kTabs,
           .left = 2, .top = 45, .width = 638, .height = 451, .tab = 3},
          {.name = kProject4Button, .kind = K::PushButton, .parent = kFrame4,
           .left = 153, .top = 152, .width = 328, .height = 83, .caption = "注册帐号", .tabStop = true},
          {.name = kStatement4, .kind = K::TransparentLabel, .parent = kTabs,
           .left = 9, .top = 23, .width = 623, .height = 32, .caption = ProjectStatement(), .tab = 3},
      }};
  return layout;
}

}  // namespace vantoip
