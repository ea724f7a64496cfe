#include "app/project_details_layout.h"

#include "app/project_details_controls.h"
#include "app/promotion_data.h"

namespace vantoip {

const WindowLayout& ProjectDetailsLayout() {
  using K = ControlKind;
  constexpr auto kNormal = FontRole::Default;
  using namespace details_window;
  // Positions on a tab are relative to the tab control, inside a group box to the group box.
  static const WindowLayout layout{
      "项目详情窗口",
      "项目详情",
      50, 50, 650, 527,
      {
          {kTabs, K::TabControl, "", 0, 0, 648, 504, "", false, -1, kNormal, {},
           {"项目一详情", "项目二详情", "项目三详情", "项目四详情"}},
          // Tab 1
          {kDescription1Shadow, K::TransparentLabel, kTabs, 8, 55, 576, 125, ProjectDescription(1), false, 0},
          {kPictureFrame1, K::GroupBox, kTabs, 2, 182, 638, 322, "收入截图", false, 0},
          {kPicture1, K::PictureBox, kPictureFrame1, 6, 18, 624, 296, "", false, -1, kNormal, {}, {}, kProject1Picture},
          {kFrame1, K::GroupBox, kTabs, 2, 45, 638, 135, "", false, 0},
          {kProject1Button, K::PushButton, kFrame1, 592, 8, 40, 123, "注册帐号", true},
          {kDescription1, K::TransparentLabel, kTabs, 8, 55, 576, 125, ProjectDescription(1), false, 0},
          {kStatement1, K::TransparentLabel, kTabs, 9, 23, 623, 32, ProjectStatement(), false, 0},
          // Tab 2
          {kPictureFrame2, K::GroupBox, kTabs, 2, 182, 638, 322, "收入截图", false, 1},
          {kPicture2, K::PictureBox, kPictureFrame2, 22, 18, 456, 176, "", false, -1, kNormal, {}, {}, kProject2Picture},
          {kDescription2, K::TransparentLabel, kTabs, 8, 55, 392, 125, ProjectDescription(2), false, 1},
          {kFrame2, K::GroupBox, kTabs, 2, 45, 638, 135, "", false, 1},
          {kProject2Button, K::PushButton, kFrame2, 545, 8, 85, 123, "注册帐号", true},
          {kStatement2, K::TransparentLabel, kTabs, 9, 23, 623, 32, ProjectStatement(), false, 1},
          // Tab 3
          {kDescription3, K::TransparentLabel, kTabs, 8, 55, 616, 125, ProjectDescription(3), false, 2},
          {kFrame3, K::GroupBox, kTabs, 2, 45, 638, 451, "", false, 2},
          {kProject3Button, K::PushButton, kFrame3, 153, 152, 325, 83, "注册帐号", true},
          {kStatement3, K::TransparentLabel, kTabs, 9, 23, 623, 32, ProjectStatement(), false, 2},
          // Tab 4
          {kDescription4, K::TransparentLabel, kTabs, 8, 55, 528, 125, ProjectDescription(4), false, 3},
          {kFrame4, K::GroupBox, kTabs, 2, 45, 638, 451, "", false, 3},
          {kProject4Button, K::PushButton, kFrame4, 153, 152, 328, 83, "注册帐号", true},
          {kStatement4, K::TransparentLabel, kTabs, 9, 23, 623, 32, ProjectStatement(), false, 3},
      }};
  return layout;
}

}  // namespace vantoip
