// The names of the main window's controls, as its layout gives them. Code and
// tests use these constants, so that a misspelt name does not compile.
#pragma once

namespace vantoip::main_window {

inline constexpr char kProxyList[] = "超级列表框1";
inline constexpr char kRefreshButton[] = "按钮1";
inline constexpr char kConnectButton[] = "按钮2";
inline constexpr char kDetailsButton[] = "按钮3";
inline constexpr char kProject1Button[] = "按钮4";
inline constexpr char kProject2Button[] = "按钮5";
inline constexpr char kProject3Button[] = "按钮6";
inline constexpr char kProject4Button[] = "按钮7";
inline constexpr char kStatusLabel[] = "标签_状态";
inline constexpr char kTargetLabel[] = "标签_目标";
inline constexpr char kDelayLabel[] = "标签_延迟";
inline constexpr char kTimeLabel[] = "标签_计时";
inline constexpr char kTrafficLabel[] = "标签_流量";  // the relay's traffic, in a window made wider
inline constexpr char kStatusCaption[] = "标签1";
inline constexpr char kTargetCaption[] = "标签2";
inline constexpr char kDelayCaption[] = "标签3";
inline constexpr char kAdvertText[] = "透明标签1";
inline constexpr char kFunctionGroup[] = "分组框1";
inline constexpr char kAdvertGroup[] = "分组框2";
inline constexpr char kConnectedTimer[] = "时钟1";
inline constexpr char kDelayClient[] = "客户1";

// 按钮2's two captions: it turns the proxy on, or off again.
inline constexpr char kConnectCaption[] = "连接";
inline constexpr char kDisconnectCaption[] = "断开";

// 标签_状态's two captions: the machine's proxy is enabled, or not.
inline constexpr char kStatusOn[] = "启用";
inline constexpr char kStatusOff[] = "禁用";

}  // namespace vantoip::main_window

namespace vantoip {

// The columns of main_window::kProxyList: the list page's six, then the
// check's result, the proxy's protocol, its anonymity and its exit address.
inline constexpr int kNumberColumn = 0;
inline constexpr int kAddressColumn = 1;
inline constexpr int kPortColumn = 2;
inline constexpr int kLocationColumn = 3;
inline constexpr int kSpeedColumn = 4;
inline constexpr int kCheckTimeColumn = 5;
inline constexpr int kResultColumn = 6;
inline constexpr int kProtocolColumn = 7;
inline constexpr int kAnonymityColumn = 8;
inline constexpr int kExitAddressColumn = 9;
inline constexpr int kLastColumn = kExitAddressColumn;
// Kept with each row, never shown: "1" when the list stated the protocol
// (else it was assumed), the entry's credentials (CredentialsCell), and "1"
// when 位置 is the row page's own (else found from the address or the list's field).
inline constexpr int kProtocolStatedColumn = 10;
inline constexpr int kCredentialsColumn = 11;
inline constexpr int kOwnLocationColumn = 12;
inline constexpr int kKeptColumns = 3;

}  // namespace vantoip
