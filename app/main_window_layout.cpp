#include "app/main_window_layout.h"

#include "app/promotion_data.h"

namespace vantoip {

const WindowLayout& MainWindowLayout() {
  using K = ControlKind;
  static const WindowLayout layout{
      "主窗口",
      "Vantoip地址代理工具",
      50, 50, 649, 576,
      {
          {"按钮3", K::PushButton, "分组框2", 485, 8, 134, 30, "了解项目详情", true},
          {"按钮4", K::PushButton, "分组框2", 485, 43, 134, 30, "推荐项目1注册", true},
          {"按钮5", K::PushButton, "分组框2", 485, 76, 134, 30, "推荐项目2注册", true},
          {"按钮6", K::PushButton, "分组框2", 485, 109, 134, 30, "推荐项目3注册", true},
          {"按钮7", K::PushButton, "分组框2", 485, 143, 134, 30, "推荐项目4注册", true},
          {"透明标签1", K::TransparentLabel, "分组框2", 3, 13, 456, 144, AdvertisingBlurb(), false},
          {"分组框2", K::GroupBox, "", 5, 363, 632, 181, "广告区", false},
          {"标签_计时", K::Label, "", 560, 327, 60, 24, "00:00", false, -1, FontRole::Value},
          {"时钟1", K::Timer, "", 0, 0, 0, 0, "", false},
          {"按钮2", K::PushButton, "", 426, 324, 56, 24, "连接", true},
          {"标签_延迟", K::Label, "", 361, 323, 50, 24, "", false, -1, FontRole::Value},
          {"标签3", K::Label, "", 329, 322, 40, 24, "延迟：", false},
          {"标签_目标", K::Label, "", 171, 323, 150, 24, "", false, -1, FontRole::Value},
          {"标签2", K::Label, "", 115, 323, 64, 24, "代理目标：", false},
          {"标签_状态", K::Label, "", 75, 323, 40, 24, "启用", false, -1, FontRole::Value},
          {"标签1", K::Label, "", 17, 322, 64, 24, "代理状态：", false},
          {"按钮1", K::PushButton, "", 498, 324, 56, 24, "刷新", true},
          {"客户1", K::TcpClient, "", 0, 0, 0, 0, "", false},
          {"超级列表框1", K::ListView, "", 9, 18, 617, 304, "", true, -1, FontRole::Default,
           {{"序号", 50, Alignment::Left},
            {"服务器地址", 150, Alignment::Centre},
            {"端口", 50, Alignment::Centre},
            {"位置", 100, Alignment::Centre},
            {"速度", 50, Alignment::Centre},
            {"检查时间", 200, Alignment::Centre}}},
          {"分组框1", K::GroupBox, "", 4, 3, 636, 357, "功能区", false},
      }};
  return layout;
}

}  // namespace vantoip
