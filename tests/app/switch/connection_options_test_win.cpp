#include "app/switch/connection_options_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/services_win.h"
#include "runtime/handle_win.h"

namespace vantoip {
namespace {

// Through the real WinINet of the test prefix, as far as it keeps the options:
// Wine 8 keeps the flags and the server; it accepts a bypass list and a script
// address but does not give them back.
TEST(ConnectionOptions, TheLanSettingsReadBackAsWrittenAndAreGivenBack) {
  WinInetConnectionOptions options;
  const std::optional<ConnectionSettings> before = options.Read("");
  ASSERT_TRUE(before);
  const ConnectionSettings ours{"", proxy_flag::kDirect | proxy_flag::kProxy, "127.0.0.1:3128", BypassList(""), ""};
  ASSERT_TRUE(options.Write(ours));
  const std::optional<ConnectionSettings> now = options.Read("");
  ASSERT_TRUE(now);
  EXPECT_TRUE(now->flags & proxy_flag::kProxy) << now->flags;
  EXPECT_EQ(now->proxyServer, "127.0.0.1:3128");
  ASSERT_TRUE(options.Write(*before));
  const std::optional<ConnectionSettings> after = options.Read("");
  ASSERT_TRUE(after);
  EXPECT_EQ(after->proxyServer, before->proxyServer);
  EXPECT_EQ(after->flags & proxy_flag::kProxy, before->flags & proxy_flag::kProxy);
}

// The snapshot's file in a data folder of the test's own: no file and a file
// that cannot be read just now are different answers; a file set aside never
// replaces one set aside before.
TEST(SnapshotFile, MissingAndUnreadableAreToldApartAndSetAsideFilesAreNumbered) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("vantoip-snapshot-" + std::to_string(GetCurrentProcessId()));
  SetEnvironmentVariableW(L"VANTOIP_DATA_DIR", folder.c_str());
  WindowsDataFile file(L"proxy-settings.txt");
  EXPECT_EQ(file.Load().state, DataFile::State::Missing);  // not even the folder
  ASSERT_TRUE(file.Write("first"));
  EXPECT_EQ(file.Load().text, "first");
  {
    const FileHandle locked(CreateFileW((folder / "proxy-settings.txt").c_str(), GENERIC_READ, 0, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(locked);
    EXPECT_EQ(file.Load().state, DataFile::State::Unreadable);
  }
  file.SetAside();
  EXPECT_EQ(file.Load().state, DataFile::State::Missing);
  ASSERT_TRUE(file.Write("second"));
  file.SetAside();
  std::ifstream first(folder / "proxy-settings.txt.bad"), second(folder / "proxy-settings.txt.2.bad");
  std::string line;
  EXPECT_TRUE(std::getline(first, line) && line == "first");
  EXPECT_TRUE(std::getline(second, line) && line == "second");
  first.close();
  second.close();
  SetEnvironmentVariableW(L"VANTOIP_DATA_DIR", nullptr);
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
}

}  // namespace
}  // namespace vantoip
