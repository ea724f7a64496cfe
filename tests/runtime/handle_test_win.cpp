// The owner of handles, with a traits type that counts what it closes.
#include "runtime/handle_win.h"

#include <gtest/gtest.h>

#include <vector>

namespace vantoip {
namespace {

std::vector<int> g_closed;

struct CountingTraits {
  using Handle = int;
  static int Invalid() { return -1; }
  static void Close(int h) { g_closed.push_back(h); }
};
using Counted = UniqueHandle<CountingTraits>;

TEST(UniqueHandle, EachHandleIsClosedOnceByItsLastOwner) {
  g_closed.clear();
  {
    Counted a(1);
    Counted b(std::move(a));  // moved: only b closes it
    EXPECT_FALSE(a);
    EXPECT_EQ(b.Get(), 1);
    Counted c(2);
    c = std::move(b);  // c's own handle closes now
    EXPECT_EQ(g_closed, (std::vector<int>{2}));
    c.Reset(3);
    EXPECT_EQ(g_closed, (std::vector<int>{2, 1}));
    EXPECT_EQ(c.Release(), 3);  // released: nobody closes it
    EXPECT_FALSE(c);
    *c.Receive() = 4;  // an out-parameter fills it
    Counted d;
    EXPECT_FALSE(d);
  }
  EXPECT_EQ(g_closed, (std::vector<int>{2, 1, 4}));
}

}  // namespace
}  // namespace vantoip
