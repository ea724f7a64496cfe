// The 设置 window: its layout and the names of its controls. A setting's
// field is named by its key in settings.ini; its caption and its fault (the
// red label that says what is wrong with it) by the key and a suffix.
#pragma once

#include <string>
#include <string_view>

#include "ui/layout.h"

namespace vantoip {

namespace settings_window {
inline constexpr char kSaveButton[] = "确定";
inline constexpr char kCancelButton[] = "取消";
inline constexpr char kDefaultsButton[] = "恢复默认";
inline constexpr char kSourcesButton[] = "编辑代理来源";
inline constexpr char kOverriddenNote[] = "环境变量说明";
inline constexpr char kFoot[] = "版本与数据来源";
inline constexpr char kSaveFault[] = "保存结果";
inline std::string FaultOf(std::string_view key) { return std::string(key) + ".fault"; }
}  // namespace settings_window

const WindowLayout& SettingsWindowLayout();

}  // namespace vantoip
