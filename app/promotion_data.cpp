#include "app/promotion_data.h"

namespace vantoip {
namespace {

const std::string kHeadingIndent(24, ' ');

std::string Block(const char* heading, const char* description) {
  return kHeadingIndent + heading + "\r\n  " + description;
}

}  // namespace

const std::string& AdvertisingBlurb() {
  static const std::string text =
      Block("推荐项目1", "浏览指定网页累计积分，积分满一百即可兑换现金，每周结算一次。") + "\r\n" +
      Block("推荐项目2", "在线填写问卷调查，按题量计酬，收入当天到账，随时可申请提现。") + "\r\n" +
      Block("推荐项目3", "共享闲置带宽挂机赚钱，按在线时长计算收益，每月固定日期支付。") + "\r\n" +
      Block("推荐项目4", "邀请好友注册，每位有效用户奖励五元，另有阶梯提成，按月发放。");
  return text;
}

}  // namespace vantoip
