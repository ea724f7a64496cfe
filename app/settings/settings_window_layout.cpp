#include "app/settings/settings_window_layout.h"

#include <string>
#include <vector>

#include "net/check_protocol.h"

namespace vantoip {
namespace {

using K = ControlKind;
using namespace settings_window;

constexpr int kGroupLeft = 8, kGroupWidth = 616;
constexpr int kCaptionWidth = 128, kFieldLeft = 140;
constexpr int kRow = 28;  // from one field's top to the next

// Controls in the order the Tab key visits them.
struct Builder {
  std::vector<ControlLayout> controls;

  void Group(const char* name, int top, int height) {
    controls.push_back({.name = name, .kind = K::GroupBox, .left = kGroupLeft, .top = top,
                        .width = kGroupWidth, .height = height, .caption = name});
  }
  // A caption, the field it names (its access key moves there), and the field's fault.
  void Field(const char* group, const char* key, const char* caption, int row, int width, const std::string& hint = "") {
    const int top = 20 + row * kRow;
    controls.push_back({.name = std::string(key) + ".caption", .kind = K::Label, .parent = group,
                        .left = 10, .top = top + 3, .width = kCaptionWidth, .height = 18, .caption = caption});
    controls.push_back({.name = key, .kind = K::Edit, .parent = group, .left = kFieldLeft, .top = top,
                        .width = width, .height = 22, .tabStop = true, .hint = hint});
    const int faultLeft = kFieldLeft + width + 8;
    controls.push_back({.name = FaultOf(key), .kind = K::Label, .parent = group, .left = faultLeft, .top = top + 3,
                        .width = kGroupWidth - 8 - faultLeft, .height = 20, .warning = true});
  }
  void Choice(const char* group, const char* key, const char* caption, int row, int left) {
    controls.push_back({.name = key, .kind = K::CheckBox, .parent = group, .left = left, .top = 20 + row * kRow,
                        .width = 200, .height = 22, .caption = caption, .tabStop = true});
  }
};

constexpr char kCheckGroup[] = "检测", kGuardGroup[] = "守护", kRelayGroup[] = "中转", kBypassGroup[] = "绕过";

std::string Foot() {
  return std::string("Vantoip ") + VANTOIP_VERSION + (sizeof(void*) == 8 ? "（64 位）" : "（32 位）") +
         "　IP 地址的国家和地区数据来自 Number Resource Organization（nro.net）的统计数据，"
         "CC BY 4.0 许可，经 ip-location-db 整理";
}

WindowLayout Build() {
  constexpr int kUrl = 250, kNumber = 70;
  // An empty field means the default: shown grey in it.
  const std::string judges = std::string(kDefaultJudgeUrls[0]) + "，再 " + kDefaultJudgeUrls[1];
  Builder b;
  b.Group(kCheckGroup, 6, 192);
  b.Field(kCheckGroup, "check_url", "HTTP 检测网址(&U)：", 0, kUrl, kDefaultCheckUrl);
  b.Field(kCheckGroup, "check_text", "页面应含文字(&T)：", 1, kUrl, kDefaultCheckText);
  b.Field(kCheckGroup, "https_url", "HTTPS 检测网址(&H)：", 2, kUrl, kDefaultHttpsUrl);
  b.Field(kCheckGroup, "https_status", "应答状态码(&C)：", 3, kNumber, std::to_string(kDefaultHttpsStatus));
  b.Field(kCheckGroup, "judge_url", "匿名度判定网址(&J)：", 4, kUrl, judges);
  b.Field(kCheckGroup, "checks_at_once", "同时检测数(&N)：", 5, kNumber);
  b.Group(kGuardGroup, 204, 80);
  b.Choice(kGuardGroup, "guard", "守护已连接的代理(&W)", 0, 12);
  b.Choice(kGuardGroup, "failover", "自动切换失效代理(&G)", 0, 240);
  b.Field(kGuardGroup, "guard_seconds", "检测间隔（秒）(&I)：", 1, kNumber);
  b.Group(kRelayGroup, 290, 80);
  b.Choice(kRelayGroup, "relay", "本地中转(&R)", 0, 12);
  b.Choice(kRelayGroup, "rotation", "轮换模式(&L)", 0, 240);
  b.Field(kRelayGroup, "relay_port", "中转端口(&P)：", 1, kNumber);
  b.Group(kBypassGroup, 376, 108);
  b.controls.push_back({.name = "bypass.caption", .kind = K::Label, .parent = kBypassGroup, .left = 10, .top = 20,
                        .width = 400, .height = 18, .caption = "另外不经代理的地址，一行一个(&B)："});
  b.controls.push_back({.name = "bypass", .kind = K::Edit, .parent = kBypassGroup, .left = 10, .top = 40,
                        .width = 400, .height = 60, .tabStop = true, .lines = 4});
  b.controls.push_back({.name = FaultOf("bypass"), .kind = K::Label, .parent = kBypassGroup, .left = 418, .top = 42,
                        .width = 190, .height = 56, .warning = true});
  b.controls.push_back({.name = "minimise_to_tray", .kind = K::CheckBox, .left = 20, .top = 492, .width = 200,
                        .height = 24, .caption = "最小化到通知区域(&M)", .tabStop = true});
  b.controls.push_back({.name = kSourcesButton, .kind = K::PushButton, .left = 248, .top = 492, .width = 140,
                        .height = 24, .caption = "编辑代理来源(&E)…", .tabStop = true});
  b.controls.push_back({.name = kOverriddenNote, .kind = K::Label, .left = 12, .top = 522, .width = 612, .height = 32});
  b.controls.push_back({.name = kFoot, .kind = K::Label, .left = 12, .top = 558, .width = 612, .height = 32, .caption = Foot()});
  b.controls.push_back({.name = kDefaultsButton, .kind = K::PushButton, .left = 8, .top = 596, .width = 100,
                        .height = 26, .caption = "恢复默认", .tabStop = true});
  b.controls.push_back({.name = kSaveFault, .kind = K::Label, .left = 116, .top = 600, .width = 300, .height = 20,
                        .warning = true});
  b.controls.push_back({.name = kSaveButton, .kind = K::PushButton, .left = 424, .top = 596, .width = 96,
                        .height = 26, .caption = "确定", .tabStop = true});
  b.controls.push_back({.name = kCancelButton, .kind = K::PushButton, .left = 528, .top = 596, .width = 96,
                        .height = 26, .caption = "取消", .tabStop = true});
  return {.name = "设置窗口", .title = "设置", .left = 80, .top = 60, .width = 640, .height = 662,
          .controls = std::move(b.controls), .defaultButton = kSaveButton, .cancelButton = kCancelButton};
}

}  // namespace

const WindowLayout& SettingsWindowLayout() {
  static const WindowLayout layout = Build();
  return layout;
}

}  // namespace vantoip
