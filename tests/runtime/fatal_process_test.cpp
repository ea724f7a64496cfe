#include <windows.h>
#include <gtest/gtest.h>

#include "runtime/encoding_win.h"
#include "tests/support/child_process_win.h"

namespace vantoip {
namespace {

test::ChildOutcome RunProbe(const std::string& what) {
  DeleteFileA("fatal_probe_end.txt");
  return test::RunChild("\"" + test::BesideTestExecutable("fatal_probe.exe") + "\" " + what);
}

void ExpectFatalEnd(const test::ChildOutcome& outcome, const std::string& text) {
  test::ExpectErrorBox(outcome, text);
  EXPECT_NE(GetFileAttributesA("fatal_probe_end.txt"), INVALID_FILE_ATTRIBUTES) << "end-of-run routine not run";
}

TEST(FatalProcess, RemainderByZeroShowsTheMessageAndExitsWithMinusOne) {
  ExpectFatalEnd(RunProbe("remainder"), "运行时出错!\r\n\r\n错误信息：不能求余数于零\r\n");
}

TEST(FatalProcess, NumberedErrorShowsItsCode) {
  ExpectFatalEnd(RunProbe("index"), "运行时出错!\r\n\r\n错误代码：1\r\n\r\n错误信息：数组成员引用下标超出定义范围\r\n");
}

TEST(FatalProcess, BadValueKind) {
  ExpectFatalEnd(RunProbe("kind"), "运行时出错!\r\n\r\n错误信息：“欲取出数据的类型”参数值无效\r\n");
}

TEST(FatalProcess, ExhaustedHeapNamesTheByteCount) {
  const std::string bytes = sizeof(void*) == 4 ? "2147483632" : "140737488355328";
  ExpectFatalEnd(RunProbe("alloc"), "运行时出错!\r\n\r\n错误信息：分配 " + bytes + " 字节内存失败!\r\n");
}

// The end-of-run routine releases the program's modules; the process still ends.
TEST(FatalProcess, UnresolvedEntryOfTheProgramTable) {
  ExpectFatalEnd(RunProbe("unresolved"),
                 "运行时出错!\r\n\r\n错误信息：无法找到指定DLL库文件“SkinH_EL.dll”中的输出命令“SkinH_AttachRes”\r\n");
}

TEST(FatalProcess, NormalEndExitsWithZero) {
  const auto outcome = RunProbe("none");
  EXPECT_FALSE(outcome.sawErrorBox);
  ASSERT_TRUE(outcome.exited);
  EXPECT_EQ(outcome.exitCode, 0u);
}

}  // namespace
}  // namespace vantoip
