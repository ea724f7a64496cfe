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

// The box shows the text without its final CR LF as a static control's caption.
void ExpectErrorBox(const test::ChildOutcome& outcome, const std::string& text) {
  EXPECT_TRUE(outcome.sawErrorBox);
  EXPECT_EQ(outcome.boxCaption, GbkToWide("错误"));
  std::wstring shown = outcome.boxText;
  std::wstring expected = GbkToWide(text);
  // Static controls may drop trailing line ends; compare without them.
  while (!expected.empty() && (expected.back() == L'\n' || expected.back() == L'\r')) expected.pop_back();
  while (!shown.empty() && (shown.back() == L'\n' || shown.back() == L'\r')) shown.pop_back();
  EXPECT_EQ(shown, expected);
  ASSERT_TRUE(outcome.exited);
  EXPECT_EQ(outcome.exitCode, 0xFFFFFFFFu);  // exit code -1
  EXPECT_NE(GetFileAttributesA("fatal_probe_end.txt"), INVALID_FILE_ATTRIBUTES) << "end-of-run routine not run";
}

TEST(FatalProcess, RemainderByZeroShowsTheMessageAndExitsWithMinusOne) {
  ExpectErrorBox(RunProbe("remainder"), "运行时出错!\r\n\r\n错误信息：不能求余数于零\r\n");
}

TEST(FatalProcess, NumberedErrorShowsItsCode) {
  ExpectErrorBox(RunProbe("index"), "运行时出错!\r\n\r\n错误代码：1\r\n\r\n错误信息：数组成员引用下标超出定义范围\r\n");
}

TEST(FatalProcess, BadValueKind) {
  ExpectErrorBox(RunProbe("kind"), "运行时出错!\r\n\r\n错误信息：“欲取出数据的类型”参数值无效\r\n");
}

TEST(FatalProcess, ExhaustedHeapNamesTheByteCount) {
  ExpectErrorBox(RunProbe("alloc"), "运行时出错!\r\n\r\n错误信息：分配 2147483632 字节内存失败!\r\n");
}

TEST(FatalProcess, NormalEndExitsWithZero) {
  const auto outcome = RunProbe("none");
  EXPECT_FALSE(outcome.sawErrorBox);
  ASSERT_TRUE(outcome.exited);
  EXPECT_EQ(outcome.exitCode, 0u);
}

}  // namespace
}  // namespace vantoip
