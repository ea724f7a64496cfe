#include "runtime/file_win.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "runtime/system_win.h"
#include "runtime/value.h"

namespace vantoip {
namespace {

class Files : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    dir_ = std::string(temp) + "vantoip_files_" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(dir_.c_str(), nullptr);
  }
  void TearDown() override {
    for (const char* name : {"a.bin", "b.bin"}) {
      SetFileAttributesA(Path(name).c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileA(Path(name).c_str());
    }
    RemoveDirectoryA(dir_.c_str());
  }
  std::string Path(const char* name) const { return dir_ + "\\" + name; }
  static std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  std::string dir_;
};

TEST_F(Files, WritesBlocksInOrderAndTruncates) {
  const ByteBlock a{'x', 'y'}, empty, b{'z'};
  EXPECT_TRUE(WriteBytesToFile(Path("a.bin"), {a, empty, b}));
  EXPECT_EQ(Contents(Path("a.bin")), "xyz");
  EXPECT_TRUE(WriteBytesToFile(Path("a.bin"), {b}));
  EXPECT_EQ(Contents(Path("a.bin")), "z");
  EXPECT_TRUE(WriteBytesToFile(Path("b.bin"), {empty, empty}));  // only empty blocks: an empty file
  EXPECT_TRUE(FileExists(Path("b.bin")));
  EXPECT_EQ(Contents(Path("b.bin")), "");
}

TEST_F(Files, WriteFailuresGiveFalse) {
  const ByteBlock a{'x'};
  EXPECT_FALSE(WriteBytesToFile("", {a}));
  EXPECT_FALSE(WriteBytesToFile(Path("missing\\dir.bin"), {a}));
  EXPECT_FALSE(WriteBytesToFile(dir_, {a}));  // a directory cannot be opened as a file
}

TEST_F(Files, ExistenceAcceptsWildcards) {
  EXPECT_FALSE(FileExists(Path("*.bin")));
  WriteBytesToFile(Path("a.bin"), {ByteBlock{1}});
  EXPECT_TRUE(FileExists(Path("*.bin")));
  EXPECT_TRUE(FileExists(Path("?.bin")));
  EXPECT_TRUE(FileExists(dir_));
  EXPECT_FALSE(FileExists(Path("a.bi")));
}

TEST_F(Files, AttributesAreMaskedToTheFourFileBits) {
  WriteBytesToFile(Path("a.bin"), {ByteBlock{1}});
  EXPECT_TRUE(SetPathAttributes(Path("a.bin"), 0xFFFFFFFF & ~FILE_ATTRIBUTE_READONLY));
  const DWORD kept = GetFileAttributesA(Path("a.bin").c_str());
  EXPECT_EQ(kept & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM), DWORD{FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM});
  EXPECT_EQ(kept & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_TRUE(SetPathAttributes(Path("a.bin"), FILE_ATTRIBUTE_HIDDEN));
  // Wine always reports the archive bit of a regular file; the other bits are exact.
  EXPECT_EQ(GetFileAttributesA(Path("a.bin").c_str()) & ~DWORD{FILE_ATTRIBUTE_ARCHIVE}, DWORD{FILE_ATTRIBUTE_HIDDEN});
  EXPECT_FALSE(SetPathAttributes(Path("nothing.bin"), FILE_ATTRIBUTE_HIDDEN));
}

TEST(Threads, StartThreadRunsTheBodyAndHandsOutTheHandleOnRequest) {
  HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  EXPECT_TRUE(StartThread([done] { SetEvent(done); }));
  EXPECT_EQ(WaitForSingleObject(done, 5000), WAIT_OBJECT_0);
  CloseHandle(done);

  int value = 0;
  void* handle = nullptr;
  EXPECT_TRUE(StartThread([&value] { value = 42; }, &handle));
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(WaitForSingleObject(handle, 5000), WAIT_OBJECT_0);
  CloseHandle(handle);
  EXPECT_EQ(value, 42);

  const std::uint32_t t0 = TickCount();
  Sleep(100);
  EXPECT_GE(TickCount() - t0, 80u);  // the tick counter moves in steps of a few ms
}

}  // namespace
}  // namespace vantoip
