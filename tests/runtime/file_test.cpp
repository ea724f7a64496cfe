#include "runtime/file_win.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "runtime/system_win.h"
#include "runtime/value.h"

namespace vantoip {
namespace {

class Files : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    dir_ = std::wstring(temp) + L"vantoip_files_" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(dir_.c_str(), nullptr);
  }
  void TearDown() override {
    for (const wchar_t* name : {L"a.bin", L"b.bin"}) {
      SetFileAttributesW(Path(name).c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileW(Path(name).c_str());
    }
    RemoveDirectoryW(dir_.c_str());
  }
  std::wstring Path(const wchar_t* name) const { return dir_ + L"\\" + name; }
  static std::string Contents(const std::wstring& path) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  std::wstring dir_;
};

TEST_F(Files, WritesBlocksInOrderAndTruncates) {
  const ByteBlock a{'x', 'y'}, empty, b{'z'};
  EXPECT_TRUE(WriteBytesToFile(Path(L"a.bin"), {a, empty, b}));
  EXPECT_EQ(Contents(Path(L"a.bin")), "xyz");
  EXPECT_TRUE(WriteBytesToFile(Path(L"a.bin"), {b}));
  EXPECT_EQ(Contents(Path(L"a.bin")), "z");
  EXPECT_TRUE(WriteBytesToFile(Path(L"b.bin"), {empty, empty}));  // only empty blocks: an empty file
  EXPECT_TRUE(FileExists(Path(L"b.bin")));
  EXPECT_EQ(Contents(Path(L"b.bin")), "");
}

TEST_F(Files, WriteFailuresGiveFalse) {
  const ByteBlock a{'x'};
  EXPECT_FALSE(WriteBytesToFile(L"", {a}));
  EXPECT_FALSE(WriteBytesToFile(Path(L"missing\\dir.bin"), {a}));
  EXPECT_FALSE(WriteBytesToFile(dir_, {a}));  // a directory cannot be opened as a file
}

TEST_F(Files, ExistenceAcceptsWildcards) {
  EXPECT_FALSE(FileExists(Path(L"*.bin")));
  WriteBytesToFile(Path(L"a.bin"), {ByteBlock{1}});
  EXPECT_TRUE(FileExists(Path(L"*.bin")));
  EXPECT_TRUE(FileExists(Path(L"?.bin")));
  EXPECT_TRUE(FileExists(dir_));
  EXPECT_FALSE(FileExists(Path(L"a.bi")));
}

TEST_F(Files, AttributesAreMaskedToTheFourFileBits) {
  WriteBytesToFile(Path(L"a.bin"), {ByteBlock{1}});
  EXPECT_TRUE(SetPathAttributes(Path(L"a.bin"), 0xFFFFFFFF & ~FILE_ATTRIBUTE_READONLY));
  const DWORD kept = GetFileAttributesW(Path(L"a.bin").c_str());
  EXPECT_EQ(kept & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM), DWORD{FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM});
  EXPECT_EQ(kept & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_TRUE(SetPathAttributes(Path(L"a.bin"), FILE_ATTRIBUTE_HIDDEN));
  // Wine always reports the archive bit of a regular file; the other bits are exact.
  EXPECT_EQ(GetFileAttributesW(Path(L"a.bin").c_str()) & ~DWORD{FILE_ATTRIBUTE_ARCHIVE}, DWORD{FILE_ATTRIBUTE_HIDDEN});
  EXPECT_FALSE(SetPathAttributes(Path(L"nothing.bin"), FILE_ATTRIBUTE_HIDDEN));
}

TEST(Threads, StartThreadRunsTheBodyAndHandsOutTheHandleOnRequest) {
  const KernelHandle done(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  EXPECT_TRUE(StartThread([event = done.Get()] { SetEvent(event); }));
  EXPECT_EQ(WaitForSingleObject(done.Get(), 5000), WAIT_OBJECT_0);

  int value = 0;
  KernelHandle handle;
  EXPECT_TRUE(StartThread([&value] { value = 42; }, &handle));
  ASSERT_TRUE(handle);
  EXPECT_EQ(WaitForSingleObject(handle.Get(), 5000), WAIT_OBJECT_0);
  EXPECT_EQ(value, 42);

  const std::uint32_t t0 = TickCount();
  Sleep(100);
  EXPECT_GE(TickCount() - t0, 80u);  // the tick counter moves in steps of a few ms
}

}  // namespace
}  // namespace vantoip
