#include "web/cookies.h"

#include <gtest/gtest.h>

namespace vantoip {
namespace {

Text Merge(Text stored, Text received) {
  const Text returned = MergeCookies(stored, received);
  EXPECT_EQ(returned, stored);
  return stored;
}

TEST(CookieName, TextBeforeTheFirstEqualsTrimmed) {
  EXPECT_EQ(CookieName(" sid = 1=2"), "sid");
  EXPECT_EQ(CookieName("flag"), "flag");
  EXPECT_EQ(CookieName("=v"), "");
}

TEST(HasCookieNamed, ComparesNamesExactly) {
  const TextArray items({"a=1", "Bb=2", "c"});
  EXPECT_TRUE(HasCookieNamed(items, "Bb"));
  EXPECT_TRUE(HasCookieNamed(items, "c"));
  EXPECT_FALSE(HasCookieNamed(items, "bb"));
  EXPECT_FALSE(HasCookieNamed(TextArray(), ""));
}

TEST(MergeCookies, ReceivedFirstThenStoredNamesNotReceived) {
  EXPECT_EQ(Merge("a=1; b=2", "b=3;c=4"), "b=3; c=4; a=1");
  EXPECT_EQ(Merge("a=1; b=2", "a=deleted"), "b=2");
  EXPECT_EQ(Merge("x=1; x=2", ""), "x=1");
  EXPECT_EQ(Merge("", ""), "");
  EXPECT_EQ(Merge("", "n=1;n=2"), "n=1; n=2");  // duplicates among received ones stay
}

TEST(MergeCookies, RemovesSpacesFromBothListsAndValues) {
  Text stored = "a=hello world;\xA1\xA1 b=2";
  Text received = " c = 3 ; ";
  EXPECT_EQ(MergeCookies(stored, received), "c=3; a=helloworld; b=2");
  EXPECT_EQ(stored, "c=3; a=helloworld; b=2");
  EXPECT_EQ(received, "c=3;");
}

TEST(MergeCookies, DeletedOnlyAtTheEndOfAnItem) {
  EXPECT_EQ(Merge("keep=deletedx", ""), "keep=deletedx");
  EXPECT_EQ(Merge("a=1", "b=deleted;c=1"), "c=1; a=1");
  EXPECT_EQ(Merge("x=deleted", ""), "");  // a stored removed item is dropped too
}

}  // namespace
}  // namespace vantoip
