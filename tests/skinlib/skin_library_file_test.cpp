// EnsureSkinLibrary and ApplySkin in a real process: skin_probe, which
// carries a recording stand-in as its skinning library, run from a fresh
// folder per test.
#include <windows.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "skinlib/skin_blob.h"
#include "skinlib/skin_data.h"
#include "tests/support/child_process_win.h"

namespace vantoip::test {
namespace {

using Bytes = std::string;

Bytes Contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void Write(const std::string& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// Wine reports the archive attribute on every regular file; the other bits are exact.
DWORD AttributesWithoutArchive(const std::string& path) {
  return GetFileAttributesA(path.c_str()) & ~FILE_ATTRIBUTE_ARCHIVE;
}

std::string ReportLine(int calls, const char* data, std::size_t length) {
  return std::to_string(calls) + " " + data + " " + std::to_string(length) + " null 0 0 0\n";
}

std::size_t StoredLength(int number) {
  return skin::SkinRecord(StoredSkins(), number).size() - skin::kRecordHeaderSize;
}

class ProbeFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    static int serial = 0;
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    dir_ = std::string(temp) + "vantoip_skin_" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++serial);
    ASSERT_TRUE(CreateDirectoryA(dir_.c_str(), nullptr));
    ASSERT_TRUE(CopyFileA(BesideTestExecutable("probe\\skin_probe.exe").c_str(), Path("skin_probe.exe").c_str(), FALSE));
  }
  void TearDown() override {
    for (const char* name : {"SkinH_EL.dll", "skin_probe.exe", "report.txt", "refuse_load"}) {
      SetFileAttributesA(Path(name).c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileA(Path(name).c_str());
    }
    RemoveDirectoryA(Library().c_str());
    RemoveDirectoryA(dir_.c_str());
  }
  std::string Path(const char* name) const { return dir_ + "\\" + name; }
  std::string Library() const { return Path("SkinH_EL.dll"); }

  // Runs the probe with skin `number`: it must end normally, without an error box.
  std::string Run(int number) {
    const ChildOutcome outcome =
        RunChild("\"" + Path("skin_probe.exe") + "\" " + std::to_string(number) + " \"" + Path("report.txt") + "\"");
    EXPECT_TRUE(outcome.exited);
    EXPECT_FALSE(outcome.sawErrorBox);
    EXPECT_EQ(outcome.exitCode, 0u);
    return Contents(Path("report.txt"));
  }

  std::string dir_;
};

Bytes CarriedImage() { return Contents(BesideTestExecutable("probe\\skin_recorder.dll")); }

TEST_F(ProbeFolder, WritesTheCarriedLibraryHiddenAndHandsItTheSkin) {
  ASSERT_GT(CarriedImage().size(), 1000u);
  EXPECT_EQ(Run(13), ReportLine(1, "2e5348450003", StoredLength(13)));
  EXPECT_EQ(Contents(Library()), CarriedImage());
  EXPECT_EQ(AttributesWithoutArchive(Library()), static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));

  // The file it wrote is the carried image: later runs use it as it is.
  EXPECT_EQ(Run(1), ReportLine(1, "2e5348450003", StoredLength(1)));
  EXPECT_EQ(Run(33), ReportLine(1, "2e5348450003", StoredLength(33)));
}

TEST_F(ProbeFolder, HandsNullAndZeroOutsideOneToThirtyThree) {
  for (int number : {0, 34, -1}) EXPECT_EQ(Run(number), ReportLine(1, "null", 0)) << number;
}

// Whatever has the library's name is left as it is and never run: the probe
// goes on without a skin instead of loading it (or failing on it).
TEST_F(ProbeFolder, LeavesAnyOtherFileOfThatNameAloneAndDoesNotRunIt) {
  Bytes lookalike = CarriedImage();  // would record calls if it were loaded
  const auto stub = lookalike.find("DOS mode");
  ASSERT_NE(stub, Bytes::npos);
  lookalike[stub] = 'd';

  struct Case {
    const char* name;
    Bytes bytes;
    DWORD attributes;
  };
  for (const Case& c : {Case{"empty", "", FILE_ATTRIBUTE_NORMAL}, Case{"foreign", "MZ not ours", FILE_ATTRIBUTE_READONLY},
                        Case{"lookalike", lookalike, FILE_ATTRIBUTE_NORMAL},
                        Case{"hidden lookalike", lookalike, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY}}) {
    SetFileAttributesA(Library().c_str(), FILE_ATTRIBUTE_NORMAL);
    Write(Library(), c.bytes);
    SetFileAttributesA(Library().c_str(), c.attributes);
    const DWORD before = AttributesWithoutArchive(Library());
    EXPECT_EQ(Run(13), "not loaded\n") << c.name;
    EXPECT_EQ(Contents(Library()), c.bytes) << c.name;
    EXPECT_EQ(AttributesWithoutArchive(Library()), before) << c.name;
  }

  SetFileAttributesA(Library().c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileA(Library().c_str());
  ASSERT_TRUE(CreateDirectoryA(Library().c_str(), nullptr));  // a folder of that name
  EXPECT_EQ(Run(13), "not loaded\n");
}

// The carried library that does not load is not looked for elsewhere, and the
// program goes on without a skin instead of ending with an error.
TEST_F(ProbeFolder, ACarriedLibraryThatFailsToLoadLeavesTheProgramUnskinned) {
  Write(Path("refuse_load"), "");
  EXPECT_EQ(Run(13), "not loaded\n");
  EXPECT_TRUE(Contents(Library()) == CarriedImage());
}

}  // namespace
}  // namespace vantoip::test
