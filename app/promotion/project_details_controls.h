// The names of the project-details window's controls, as its layout gives them.
#pragma once

namespace vantoip::details_window {

inline constexpr char kTabs[] = "选择夹1";
// One "注册帐号" button per tab, for projects 1 to 4.
inline constexpr char kProject1Button[] = "按钮1";
inline constexpr char kProject2Button[] = "按钮2";
inline constexpr char kProject3Button[] = "按钮3";
inline constexpr char kProject4Button[] = "按钮4";
inline constexpr char kStatement1[] = "透明标签1";
inline constexpr char kDescription1[] = "透明标签2";
inline constexpr char kStatement2[] = "透明标签3";
inline constexpr char kDescription2[] = "透明标签4";
inline constexpr char kStatement3[] = "透明标签5";
inline constexpr char kDescription3[] = "透明标签6";
inline constexpr char kStatement4[] = "透明标签7";
inline constexpr char kDescription4[] = "透明标签8";
inline constexpr char kDescription1Shadow[] = "透明标签9";
inline constexpr char kFrame1[] = "分组框1";
inline constexpr char kPictureFrame1[] = "分组框2";
inline constexpr char kFrame2[] = "分组框3";
inline constexpr char kPictureFrame2[] = "分组框4";
inline constexpr char kFrame3[] = "分组框5";
inline constexpr char kFrame4[] = "分组框6";
inline constexpr char kPicture1[] = "图片框1";
inline constexpr char kPicture2[] = "图片框2";

}  // namespace vantoip::details_window
