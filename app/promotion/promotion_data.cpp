#include "app/promotion/promotion_data.h"

#include <array>

namespace vantoip {
namespace {

const std::string kHeadingIndent(24, ' ');

// A placeholder: a distributor puts a real number here.
constexpr char kContactNumber[] = "000-0000-0000";

// Addresses under a reserved example domain until a distributor sets real ones.
const std::array<std::string, kProjectCount> kProjectPages = {
    "http://project1.example.com/register",
    "http://project2.example.com/register",
    "http://project3.example.com/register",
    "http://project4.example.com/register",
};

std::string Block(const char* heading, const char* description) {
  return kHeadingIndent + heading + "\r\n  " + description;
}

// The three sections of a description; each content line starts with two spaces.
std::string Description(const char* earn, const char* payout, const char* question1, const char* question2) {
  return std::string("    项目介绍：\r\n  ") + earn + "\r\n    兑换问题：\r\n  " + payout + "\r\n    其他问题：\r\n  " +
         question1 + "\r\n  " + question2;
}

const std::string kNone;

}  // namespace

const std::string& AdvertisingBlurb() {
  static const std::string text =
      Block("推荐项目1", "浏览指定网页累计积分，积分满一百即可兑换现金，每周结算一次。") + "\r\n" +
      Block("推荐项目2", "在线填写问卷调查，按题量计酬，收入当天到账，随时可申请提现。") + "\r\n" +
      Block("推荐项目3", "共享闲置带宽挂机赚钱，按在线时长计算收益，每月固定日期支付。") + "\r\n" +
      Block("推荐项目4", "邀请好友注册，每位有效用户奖励五元，另有阶梯提成，按月发放。");
  return text;
}

const std::string& ProjectPage(int project) {
  return project >= 1 && project <= kProjectCount ? kProjectPages[project - 1] : kNone;
}

const std::string& ProjectDescription(int project) {
  // Project 2's tab is the narrowest: its lines stay short.
  static const std::array<std::string, kProjectCount> descriptions = {
      Description("注册后浏览任务列表中的网页，每页停留满三十秒得一个积分。",
                  "积分满一百即可兑换十元现金，每周一统一结算到支付宝。",
                  "问：每天最多能浏览多少网页？答：每个帐号每天上限两百页。",
                  "问：能用多台电脑同时浏览吗？答：同一帐号同时只能在一台电脑登录。"),
      Description("在线填写问卷调查，每份问卷按题量计酬。",
                  "收入当天到账，满五元即可申请提现。",
                  "问：问卷会被拒收吗？答：随意作答会被拒收。",
                  "问：手机能做吗？答：可以，手机网页同样能填写。"),
      Description("安装客户端后共享闲置带宽，电脑在线即可累计收益，无需任何操作。",
                  "按在线时长计算收益，每月十五日统一支付，满二十元即可提现。",
                  "问：会影响正常上网吗？答：客户端只用空闲带宽，上网时自动让路。",
                  "问：可以挂多台电脑吗？答：可以，每台电脑的收益合并后一起发放。"),
      Description("把专属邀请链接分享给好友，好友注册并完成首个任务即算有效用户。",
                  "每位有效用户奖励五元，邀请越多提成越高，每月初统一发放。",
                  "问：邀请人数有上限吗？答：没有上限，但重复或虚假帐号不计入。",
                  "问：奖励什么时候到账？答：好友完成首个任务后次日计入帐户。"),
  };
  return project >= 1 && project <= kProjectCount ? descriptions[project - 1] : kNone;
}

const std::string& ProjectStatement() {
  static const std::string text =
      std::string("以上项目均由合作方运营，收益以各项目官网公布为准。咨询电话：") + kContactNumber;
  return text;
}

}  // namespace vantoip
