#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <thread>

#include "regex/proxy_row_pattern.h"
#include "regex/regex_object_win.h"
#include "runtime/native_commands_win.h"
#include "runtime/text.h"
#include "tests/support/proxy_page.h"

namespace vantoip {
namespace {

using test::ProxyPage;
using test::ProxyRowCells;
using test::ProxyRowHtml;

const std::string kPattern(ProxyRowPattern);

const ProxyRowCells kRows[] = {
    {"1.2.3.4", "8080", "北京市 电信", "80%", "2024-05-01 10:00"},
    {"5.6.7.8", "3128", "上海", "45%", "5分钟前"},
    {"9.9.9.9", "80", "US", "100%", "1 小时"},
};

std::string UpperAscii(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

std::string ThreeRowPage(const std::string& divAttributes = " class=\"bar\" ") {
  return ProxyPage({ProxyRowHtml(kRows[0], divAttributes), ProxyRowHtml(kRows[1], divAttributes),
                    ProxyRowHtml(kRows[2], divAttributes)});
}

// Each thread initialises COM before it uses the object; Destroy ends that use.
class RegexObjectTest : public testing::Test {
 protected:
  void SetUp() override { CallNativeCommand(kCoInitialize, {0}); }
  void TearDown() override { regex.Destroy(); }

  // The five groups of every match, in order.
  std::vector<std::vector<std::string>> Groups() const {
    std::vector<std::vector<std::string>> rows;
    for (int i = 1; i <= regex.MatchCount(); ++i) {
      auto& row = rows.emplace_back();
      for (int k = 1; k <= 5; ++k) row.push_back(regex.SubMatchText(i, k));
    }
    return rows;
  }
  static std::vector<std::string> Cells(const ProxyRowCells& c) {
    return {c.address, c.port, c.location, c.speed, c.checked};
  }

  RegexObject regex;
};

TEST(ProxyRowPatternText, IsEightLinesJoinedByLineFeeds) {
  EXPECT_EQ(ProxyRowPattern.size(), 156u);
  EXPECT_EQ(std::count(ProxyRowPattern.begin(), ProxyRowPattern.end(), '\n'), 7);
  EXPECT_TRUE(ProxyRowPattern.starts_with("<td>(.*?)</td>\n"));
  EXPECT_TRUE(ProxyRowPattern.ends_with("</td>\n</tr>"));
}

TEST_F(RegexObjectTest, ProxyRowsOfAPageAreMatchedWithTheirFiveGroups) {
  ASSERT_TRUE(regex.Create(kPattern, ThreeRowPage()));
  ASSERT_EQ(regex.MatchCount(), 3);
  EXPECT_EQ(regex.SubMatchCount(), 5);
  EXPECT_EQ(Groups(), (std::vector<std::vector<std::string>>{Cells(kRows[0]), Cells(kRows[1]), Cells(kRows[2])}));
  EXPECT_EQ(regex.GetPattern(), kPattern);
}

TEST_F(RegexObjectTest, TagsInCapitalsAndASpeedBarOverSeveralLinesStillMatch) {
  std::string capitals = ThreeRowPage();
  for (const char* tag : {"td>", "tr>", "div", "span>", "strong>"})
    capitals = ReplaceText(capitals, tag, UpperAscii(tag));
  ASSERT_TRUE(regex.Create(kPattern, capitals));
  EXPECT_EQ(regex.MatchCount(), 3);
  EXPECT_EQ(regex.SubMatchText(2, 3), "上海");

  ASSERT_TRUE(regex.Create(kPattern, ThreeRowPage(" class=\"bar\"\n     title=\"速度\"\n     ")));
  EXPECT_EQ(Groups(), (std::vector<std::vector<std::string>>{Cells(kRows[0]), Cells(kRows[1]), Cells(kRows[2])}));
}

TEST_F(RegexObjectTest, RowsThatBreakTheLayoutAreNotListed) {
  ASSERT_TRUE(regex.Create(kPattern, ReplaceText(ThreeRowPage(), "\n", "\r\n")));
  EXPECT_EQ(regex.MatchCount(), 0);  // CR LF line ends
  EXPECT_EQ(regex.SubMatchCount(), 0);
  EXPECT_EQ(regex.MatchText(1), "");

  ProxyRowCells broken = kRows[1];
  broken.location = "上\n海";  // a plain cell holding a line feed
  ASSERT_TRUE(
      regex.Create(kPattern, ProxyPage({ProxyRowHtml(kRows[0]), ProxyRowHtml(broken), ProxyRowHtml(kRows[2])})));
  EXPECT_EQ(Groups(), (std::vector<std::vector<std::string>>{Cells(kRows[0]), Cells(kRows[2])}));
}

TEST_F(RegexObjectTest, PositionsAreByteOffsetsOfTheMatchOrGroup) {
  std::int32_t position = -99;
  ASSERT_TRUE(regex.Create("a", "aa"));
  EXPECT_EQ(regex.MatchText(2, &position), "a");
  EXPECT_EQ(position, 1);
  EXPECT_EQ(regex.MatchText(1), "a");

  // Two-byte characters before the match: the byte offset, not the character index.
  ASSERT_TRUE(regex.Create("(\\w+)=(\\d+)", "中文 x=12; 名y=34"));
  EXPECT_EQ(regex.MatchText(2, &position), "y=34");
  EXPECT_EQ(position, 13);
  EXPECT_EQ(regex.SubMatchText(2, 2, &position), "34");
  EXPECT_EQ(position, 15);
  EXPECT_EQ(regex.SubMatchText(1, 1, &position), "x");
  EXPECT_EQ(position, 5);

  // An empty match at the end starts the search past the subject.
  ASSERT_TRUE(regex.Create("$", "ab", std::nullopt, std::nullopt, false));
  ASSERT_EQ(regex.MatchCount(), 1);
  EXPECT_EQ(regex.MatchText(1, &position), "");
  EXPECT_EQ(position, -2);
}

TEST_F(RegexObjectTest, NumbersOutsideTheListsGiveTheEmptyText) {
  ASSERT_TRUE(regex.Create("(a)(b)?", "a ab"));
  ASSERT_EQ(regex.MatchCount(), 2);
  EXPECT_EQ(regex.MatchText(0), "");
  EXPECT_EQ(regex.MatchText(3), "");
  EXPECT_EQ(regex.SubMatchText(1, 0), "");
  EXPECT_EQ(regex.SubMatchText(1, 3), "");
  EXPECT_EQ(regex.SubMatchText(0, 1), "");
  EXPECT_EQ(regex.SubMatchText(1, 2), "");  // the optional group took no part
  EXPECT_EQ(regex.SubMatchText(2, 2), "b");
  std::int32_t position = -99;
  EXPECT_EQ(regex.MatchText(5, &position), "");
  EXPECT_EQ(position, 0);  // the empty text is found at the start
}

TEST_F(RegexObjectTest, OptionsDefaultToOnAndCanBeTurnedOff) {
  ASSERT_TRUE(regex.Create("^abc", "ABC\nabc"));
  EXPECT_EQ(regex.MatchCount(), 2);
  ASSERT_TRUE(regex.Create("^abc", "ABC\nabc", false));
  EXPECT_EQ(regex.MatchCount(), 1);
  ASSERT_TRUE(regex.Create("^abc", "ABC\nabc", true, false));
  EXPECT_EQ(regex.MatchCount(), 1);
  ASSERT_TRUE(regex.Create("abc", "ABC\nabc", true, true, false));
  EXPECT_EQ(regex.MatchText(1), "ABC");
  EXPECT_EQ(regex.MatchCount(), 1);
}

TEST_F(RegexObjectTest, AnInvalidPatternGivesNoMatchList) {
  EXPECT_EQ(regex.GetPattern(), "");
  EXPECT_EQ(regex.MatchCount(), 0);  // before any Create
  EXPECT_FALSE(regex.Create("(unclosed", "unclosed"));
  EXPECT_EQ(regex.MatchCount(), 0);
  EXPECT_EQ(regex.SubMatchCount(), 0);
  EXPECT_EQ(regex.MatchText(1), "");
  EXPECT_EQ(regex.SubMatchText(1, 1), "");
}

TEST_F(RegexObjectTest, ReplaceUsesTheStoredSubjectAndLeavesTheMatches) {
  ASSERT_TRUE(regex.Create("\\d", "a1b2c3"));
  EXPECT_EQ(regex.Replace("#"), "a#b#c#");
  EXPECT_EQ(regex.MatchCount(), 3);
  ASSERT_TRUE(regex.Create("\\d", "a1b2c3", true, true, false));
  EXPECT_EQ(regex.Replace("号"), "a号b2c3");
}

TEST_F(RegexObjectTest, ACopySharesTheObjectsAndOutlivesTheOriginal) {
  ASSERT_TRUE(regex.Create("\\d", "a1b2c3"));
  CallNativeCommand(kCoInitialize, {0});  // the copy ends its own use of COM
  RegexObject copy = regex.Copy();
  regex.Destroy();
  EXPECT_EQ(regex.MatchCount(), 0);
  EXPECT_EQ(regex.GetPattern(), "");
  EXPECT_EQ(copy.MatchCount(), 3);
  EXPECT_EQ(copy.MatchText(2), "2");
  EXPECT_EQ(copy.GetPattern(), "\\d");
  EXPECT_EQ(copy.Replace("-"), "a-b-c-");
  copy.Destroy();
}

TEST(RegexObjectThread, DestroyEndsTheThreadsUseOfCom) {
  HRESULT afterDestroy = S_OK;
  int matches = 0;
  std::thread([&] {
    CallNativeCommand(kCoInitialize, {0});
    RegexObject regex;
    regex.Create("x", "xx");
    matches = regex.MatchCount();
    regex.Destroy();
    CLSID regexp;
    CLSIDFromProgID(L"VBScript.RegExp", &regexp);
    CoCreate<IUnknown>(regexp, CLSCTX_INPROC_SERVER, &afterDestroy);
  }).join();
  EXPECT_EQ(matches, 2);
  EXPECT_EQ(afterDestroy, CO_E_NOTINITIALIZED);
}

}  // namespace
}  // namespace vantoip
