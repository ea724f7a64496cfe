#include "app/project_details_layout.h"

#include "app/promotion_data.h"

namespace vantoip {

const WindowLayout& ProjectDetailsLayout() {
  using K = ControlKind;
  constexpr auto kNormal = FontRole::Default;
  constexpr char kTabs[] = "选择夹1";
  // Positions on a tab are relative to the tab control, inside a group box to the group box.
  static const WindowLayout layout{
      "项目详情窗口",
      "项目详情",
      50, 50, 650, 527,
      {
          {kTabs, K::TabControl, "", 0, 0, 648, 504, "", false, -1, kNormal, {},
           {"项目一详情", "项目二详情", "项目三详情", "项目四详情"}},
          // Tab 1
          {"透明标签9", K::TransparentLabel, kTabs, 8, 55, 576, 125, ProjectDescription(1), false, 0},
          {"分组框2", K::GroupBox, kTabs, 2, 182, 638, 322, "收入截图", false, 0},
          {"图片框1", K::PictureBox, "分组框2", 6, 18, 624, 296, "", false, -1, kNormal, {}, {}, kProject1Picture},
          {"分组框1", K::GroupBox, kTabs, 2, 45, 638, 135, "", false, 0},
          {"按钮1", K::PushButton, "分组框1", 592, 8, 40, 123, "注册帐号", true},
          {"透明标签2", K::TransparentLabel, kTabs, 8, 55, 576, 125, ProjectDescription(1), false, 0},
          {"透明标签1", K::TransparentLabel, kTabs, 9, 23, 623, 32, ProjectStatement(), false, 0},
          // Tab 2
          {"分组框4", K::GroupBox, kTabs, 2, 182, 638, 322, "收入截图", false, 1},
          {"图片框2", K::PictureBox, "分组框4", 22, 18, 456, 176, "", false, -1, kNormal, {}, {}, kProject2Picture},
          {"透明标签4", K::TransparentLabel, kTabs, 8, 55, 392, 125, ProjectDescription(2), false, 1},
          {"分组框3", K::GroupBox, kTabs, 2, 45, 638, 135, "", false, 1},
          {"按钮2", K::PushButton, "分组框3", 545, 8, 85, 123, "注册帐号", true},
          {"透明标签3", K::TransparentLabel, kTabs, 9, 23, 623, 32, ProjectStatement(), false, 1},
          // Tab 3
          {"透明标签6", K::TransparentLabel, kTabs, 8, 55, 616, 125, ProjectDescription(3), false, 2},
          {"分组框5", K::GroupBox, kTabs, 2, 45, 638, 451, "", false, 2},
          {"按钮3", K::PushButton, "分组框5", 153, 152, 325, 83, "注册帐号", true},
          {"透明标签5", K::TransparentLabel, kTabs, 9, 23, 623, 32, ProjectStatement(), false, 2},
          // Tab 4
          {"透明标签8", K::TransparentLabel, kTabs, 8, 55, 528, 125, ProjectDescription(4), false, 3},
          {"分组框6", K::GroupBox, kTabs, 2, 45, 638, 451, "", false, 3},
          {"按钮4", K::PushButton, "分组框6", 153, 152, 328, 83, "注册帐号", true},
          {"透明标签7", K::TransparentLabel, kTabs, 9, 23, 623, 32, ProjectStatement(), false, 3},
      }};
  return layout;
}

}  // namespace vantoip
