#include "runtime/fatal.h"

#include <gtest/gtest.h>

namespace vantoip {
namespace {

TEST(FatalErrorText, LaysOutCodeAndMessageWithCrLfPairs) {
  EXPECT_EQ(FatalErrorText(6, FatalErrorMessage(6)),
            "运行时出错!\r\n\r\n错误代码：6\r\n\r\n错误信息：调用DLL命令后发现堆栈错误\r\n");
  EXPECT_EQ(FatalErrorText(0, "载入启动窗口失败"), "运行时出错!\r\n\r\n错误信息：载入启动窗口失败\r\n");
  EXPECT_EQ(FatalErrorText(0, ""), "运行时出错!\r\n\r\n");
}

int g_endCalls = 0;

TEST(EndOfRun, RunsEachRoutineOnceInReverseOrder) {
  static std::string order;
  AtEndOfRun([] { order += "a"; ++g_endCalls; });
  AtEndOfRun([] { order += "b"; ++g_endCalls; });
  RunEndOfRun();
  RunEndOfRun();
  EXPECT_EQ(order, "ba");
  EXPECT_EQ(g_endCalls, 2);
}

}  // namespace
}  // namespace vantoip
