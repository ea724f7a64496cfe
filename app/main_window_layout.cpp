#include "app/main_window_layout.h"

#include "app/main_window_controls.h"
#include "app/promotion/promotion_data.h"

namespace vantoip {

const WindowLayout& MainWindowLayout() {
  using K = ControlKind;
  using namespace main_window;
  constexpr auto kValue = FontRole::Value;
  constexpr auto kBottom = Anchor::Bottom, kGrow = Anchor::Grow;
  static const WindowLayout layout{
      .name = "主窗口",
      .title = "Vantoip地址代理工具",
      .left = 50, .top = 50, .width = 649, .height = 576,
      .controls = {
          // Right of the connected time: outside the window at its first size, seen once it is wider.
          {.name = kTrafficLabel, .kind = K::Label,
           .left = 650, .top = 327, .width = 300, .height = 24, .anchor = kBottom},
          {.name = kDetailsButton, .kind = K::PushButton, .parent = kAdvertGroup,
           .left = 485, .top = 8, .width = 134, .height = 30, .caption = "了解项目详情", .tabStop = true},
          {.name = kProject1Button, .kind = K::PushButton, .parent = kAdvertGroup,
           .left = 485, .top = 43, .width = 134, .height = 30, .caption = "推荐项目1注册", .tabStop = true},
          {.name = kProject2Button, .kind = K::PushButton, .parent = kAdvertGroup,
           .left = 485, .top = 76, .width = 134, .height = 30, .caption = "推荐项目2注册", .tabStop = true},
          {.name = kProject3Button, .kind = K::PushButton, .parent = kAdvertGroup,
           .left = 485, .top = 109, .width = 134, .height = 30, .caption = "推荐项目3注册", .tabStop = true},
          {.name = kProject4Button, .kind = K::PushButton, .parent = kAdvertGroup,
           .left = 485, .top = 143, .width = 134, .height = 30, .caption = "推荐项目4注册", .tabStop = true},
          {.name = kAdvertText, .kind = K::TransparentLabel, .parent = kAdvertGroup,
           .left = 3, .top = 13, .width = 456, .height = 144, .caption = AdvertisingBlurb()},
          {.name = kAdvertGroup, .kind = K::GroupBox,
           .left = 5, .top = 363, .width = 632, .height = 181, .caption = "广告区", .anchor = kBottom},
          {.name = kTimeLabel, .kind = K::Label,
           .left = 560, .top = 327, .width = 60, .height = 24, .caption = "00:00", .font = kValue, .anchor = kBottom},
          {.name = kConnectedTimer, .kind = K::Timer},
          {.name = kConnectButton, .kind = K::PushButton,
           .left = 426, .top = 324, .width = 56, .height = 24, .caption = main_window::kConnectCaption, .tabStop = true, .anchor = kBottom},
          {.name = kDelayLabel, .kind = K::Label, .left = 361, .top = 323, .width = 50, .height = 24, .font = kValue, .anchor = kBottom},
          {.name = kDelayCaption, .kind = K::Label,
           .left = 329, .top = 322, .width = 40, .height = 24, .caption = "延迟：", .anchor = kBottom},
          {.name = kTargetLabel, .kind = K::Label, .left = 171, .top = 323, .width = 150, .height = 24, .font = kValue, .anchor = kBottom},
          {.name = kTargetCaption, .kind = K::Label,
           .left = 115, .top = 323, .width = 64, .height = 24, .caption = "代理目标：", .anchor = kBottom},
          {.name = kStatusLabel, .kind = K::Label,
           .left = 75, .top = 323, .width = 40, .height = 24, .caption = main_window::kStatusOn, .font = kValue, .anchor = kBottom},
          {.name = kStatusCaption, .kind = K::Label,
           .left = 17, .top = 322, .width = 64, .height = 24, .caption = "代理状态：", .anchor = kBottom},
          {.name = kRefreshButton, .kind = K::PushButton,
           .left = 498, .top = 324, .width = 56, .height = 24, .caption = "刷新", .tabStop = true, .anchor = kBottom},
          {.name = kDelayClient, .kind = K::TcpClient},
          {.name = kProxyList, .kind = K::ListView,
           .left = 9, .top = 18, .width = 617, .height = 304, .tabStop = true,
           .columns = {{"序号", 50, Alignment::Left},
                       {"服务器地址", 150, Alignment::Centre},
                       {"端口", 50, Alignment::Centre},
                       {"位置", 100, Alignment::Centre},
                       {"速度", 50, Alignment::Centre},
                       {"检查时间", 200, Alignment::Centre},
                       {"检测结果", 110, Alignment::Centre},
                       {"协议", 60, Alignment::Centre},
                       {"匿名度", 50, Alignment::Centre},
                       {"出口地址", 110, Alignment::Centre}},
           .keptColumns = kKeptColumns, .anchor = kGrow},
          {.name = kFunctionGroup, .kind = K::GroupBox,
           .left = 4, .top = 3, .width = 636, .height = 357, .caption = "功能区", .anchor = kGrow},
      },
      .resizable = true};
  return layout;
}

}  // namespace vantoip
