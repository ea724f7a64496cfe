#include "runtime/text.h"

#include <gtest/gtest.h>

#include <climits>

#include "runtime/text_array.h"
#include "tests/support/fatal_capture.h"

namespace vantoip {
namespace {

// "中" in GBK is D6 D0; "文" is CE C4. "乗" does not exist, but the byte pair
// 81 41 is a valid GBK character whose trail byte is 'A'.
const std::string kTrailA = "\x81\x41";
const std::string kFullWidthSpace = "\xA1\xA1";

TEST(CompareText, OrdersUnsignedAndTreatsMissingAsEmpty) {
  EXPECT_EQ(CompareText("", std::string()), 0);
  EXPECT_EQ(CompareText("a", ""), 1);
  EXPECT_EQ(CompareText("", "a"), -1);
  EXPECT_EQ(CompareText("a\x80", "a\x7F"), 1);  // 0x80 sorts after 0x7F
  EXPECT_EQ(CompareText("abc", "abd"), -1);
}

TEST(Slicing, CountsBytesAndClampsToTheText) {
  EXPECT_EQ(MidText("abcdef", 3, 10), "cdef");
  EXPECT_EQ(MidText("abc", 4, 1), "");
  EXPECT_EQ(MidText("abc", 0, 2), "");
  EXPECT_EQ(MidText("abc", 2, 0), "");
  EXPECT_EQ(LeftText("abc", 5), "abc");
  EXPECT_EQ(LeftText("abc", -1), "");
  EXPECT_EQ(RightText("abc", 2), "bc");
  EXPECT_EQ(RightText("abc", 0), "");
  EXPECT_EQ(LeftText("中文", 1), "\xD6");  // may cut a character in half, as documented
  EXPECT_EQ(CharText(0), "");
  EXPECT_EQ(CharText(0x141), "A");  // low byte only
  EXPECT_EQ(SpaceText(3), "   ");
  EXPECT_EQ(SpaceText(-2), "");
}

TEST(FindText, ForwardSearchRespectsStartAndCase) {
  EXPECT_EQ(FindText("abcabc", "abc", 2), 4);
  EXPECT_EQ(FindText("abcabc", "abc"), 1);
  EXPECT_EQ(FindText("abcabc", "abc", 0), 1);
  EXPECT_EQ(FindText("abcabc", "abc", -5), 1);
  EXPECT_EQ(FindText("abcabc", "abc", 5), -1);
  EXPECT_EQ(FindText("abc", "c", 4), -1);
  EXPECT_EQ(FindText("xabc", "ABC", std::nullopt, true), 2);
  EXPECT_EQ(FindText("xabc", "ABC"), -1);
  EXPECT_EQ(FindText("xabc", "ABC", std::nullopt, false), -1);
  EXPECT_EQ(FindText("abc", "abcd"), -1);
  // Starts at the ends of the integer range.
  EXPECT_EQ(FindText("abcabc", "abc", INT_MIN), 1);
  EXPECT_EQ(FindText("abcabc", "abc", INT_MAX), -1);
  EXPECT_EQ(FindTextReverse("abcabc", "abc", INT_MIN), -1);
  EXPECT_EQ(FindTextReverse("abcabc", "abc", INT_MAX), 4);
}

TEST(FindText, EmptySoughtIsFoundOnlyInANonEmptyRegion) {
  EXPECT_EQ(FindText("abc", ""), 1);
  EXPECT_EQ(FindText("", ""), -1);
  EXPECT_EQ(FindText("abc", "", 3), 1);
  EXPECT_EQ(FindText("abc", "", 4), -1);
  EXPECT_EQ(FindTextReverse("abc", ""), 1);
  EXPECT_EQ(FindTextReverse("abc", "", 1), -1);
}

TEST(FindText, StepsOverTwoByteCharacters) {
  // 'A' as the trail byte of a two-byte character is not an occurrence of "A".
  EXPECT_EQ(FindText(kTrailA + "A", "A"), 3);
  EXPECT_EQ(FindText(kTrailA, "A"), -1);
  EXPECT_EQ(FindTextReverse(kTrailA, "A"), -1);
  // Ignoring case does not fold the trail byte either.
  EXPECT_EQ(FindText(kTrailA + "a", "a", std::nullopt, true), 3);
  EXPECT_EQ(FindText("中文abc", "abc"), 5);
  EXPECT_EQ(FindText("中文", "文"), 3);
  // A start on the second byte of a character runs out of line.
  EXPECT_EQ(FindText("\xD6\xD0\xCE\xC4", "\xD0\xCE", 1), -1);
  EXPECT_EQ(FindText("\xD6\xD0\xCE\xC4", "\xD0\xCE", 2), 2);
}

TEST(FindTextReverse, FindsTheLastOccurrenceEndingBeforeStart) {
  EXPECT_EQ(FindTextReverse("abcabc", "abc"), 4);
  EXPECT_EQ(FindTextReverse("abcabc", "abc", 4), 1);
  EXPECT_EQ(FindTextReverse("abcabc", "abc", 6), 1);   // second occurrence would end at byte 6
  EXPECT_EQ(FindTextReverse("abcabc", "abc", 7), 4);
  EXPECT_EQ(FindTextReverse("abcabc", "abc", 100), 4);
  EXPECT_EQ(FindTextReverse("abcabc", "abc", 1), -1);
  EXPECT_EQ(FindTextReverse("ABCabc", "abc", std::nullopt, true), 4);
  EXPECT_EQ(FindTextReverse("ABCxyz", "abc", std::nullopt, true), 1);
  EXPECT_EQ(FindTextReverse("a\\b\\c", "\\"), 4);
}

TEST(Case, LowersAsciiOnly) {
  EXPECT_EQ(ToLowerText("AbC中文Z"), "abc中文z");
  EXPECT_EQ(ToLowerText(kTrailA + "A"), kTrailA + "a");
}

TEST(Spaces, TrimAndRemoveHandleFullWidthSpaces) {
  EXPECT_EQ(TrimText(kFullWidthSpace + "ab  "), "ab");
  EXPECT_EQ(TrimText("  " + kFullWidthSpace + " "), "");
  EXPECT_EQ(TrimText(" a b "), "a b");
  EXPECT_EQ(TrimText(""), "");
  // A1 A1 spread over the trail byte of one character and the next byte is not a space.
  EXPECT_EQ(TrimText("\xB0\xA1\xA1"), "\xB0\xA1\xA1");
  EXPECT_EQ(RemoveSpaces(" a " + kFullWidthSpace + "b中 文 "), "ab中文");
  EXPECT_EQ(RemoveSpaces("\xB0\xA1\xA1x"), "\xB0\xA1\xA1x");
}

TEST(ReplaceText, ReplacesEveryOccurrenceWithoutRescanning) {
  EXPECT_EQ(ReplaceText("a#引号b#引号", "#引号", "\""), "a\"b\"");
  EXPECT_EQ(ReplaceText("aaa", "a", "aa"), "aaaaaa");
  EXPECT_EQ(ReplaceText(kTrailA + "A", "A", "x"), kTrailA + "x");
}

TEST(SplitText, KeepsInnerEmptyPiecesAndDropsAnEmptyLastOne) {
  const TextArray parts = SplitText("a,b,,c");
  ASSERT_EQ(parts.Count(), 4);
  EXPECT_EQ(parts[1], "a");
  EXPECT_EQ(parts[3], "");
  EXPECT_EQ(parts[4], "c");
  EXPECT_EQ(SplitText("a,b,").Elements(), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(SplitText(",a").Elements(), (std::vector<std::string>{"", "a"}));
  EXPECT_EQ(SplitText(",").Elements(), (std::vector<std::string>{""}));
  EXPECT_EQ(SplitText(":", ":").Count(), 1);
  EXPECT_EQ(SplitText("host", ":").Elements(), (std::vector<std::string>{"host"}));
  EXPECT_EQ(SplitText("1.2.3.4:8080", ":").Elements(), (std::vector<std::string>{"1.2.3.4", "8080"}));
}

TEST(SplitText, LimitsAndEdgeInputs) {
  EXPECT_EQ(SplitText("a.b.c", ".", 2).Elements(), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(SplitText("a.b.c", ".", 3).Elements(), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(SplitText("a.b", ".", 1).Elements(), (std::vector<std::string>{"a"}));
  EXPECT_TRUE(SplitText("a.b", ".", 0).Empty());
  EXPECT_TRUE(SplitText("a.b", ".", -3).Empty());
  EXPECT_TRUE(SplitText("").Empty());
  EXPECT_EQ(SplitText("a,b", "").Elements(), (std::vector<std::string>{"a,b"}));
  EXPECT_EQ(SplitText("a\r\nb\r\n", "\r\n").Elements(), (std::vector<std::string>{"a", "b"}));
  // A delimiter byte inside a two-byte character does not split it.
  EXPECT_EQ(SplitText(kTrailA + "A" + kTrailA, "A").Elements(),
            (std::vector<std::string>{kTrailA, kTrailA}));
}

TEST(TextArray, IndexOutsideTheArrayIsFatal) {
  const TextArray parts = SplitText("x,y");
  auto below = test::CatchFatal([&] { (void)parts[0]; });
  EXPECT_EQ(below.code, 4);
  EXPECT_NE(below.text.find("数组成员引用下标必须大于等于1"), std::string::npos);
  auto above = test::CatchFatal([&] { (void)parts[3]; });
  EXPECT_EQ(above.code, 1);
  EXPECT_NE(above.text.find("数组成员引用下标超出定义范围"), std::string::npos);
  EXPECT_EQ(test::CatchFatal([] { (void)TextArray()[1]; }).code, 1);
}

}  // namespace
}  // namespace vantoip
