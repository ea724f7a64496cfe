#include "app/proxy_sources_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/proxy_sources.h"

namespace vantoip {
namespace {

std::string FileText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFileText(const std::filesystem::path& path, std::string_view text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(text.data(), static_cast<std::streamsize>(text.size()));
}

TEST(SourcesFile, CreatedWithItsFolderOnceAndNeverOverwritten) {
  const std::filesystem::path root =
      std::filesystem::temp_directory_path() / ("vantoip-sources-" + std::to_string(GetCurrentProcessId()));
  const std::filesystem::path file = root / "Vantoip" / "sources.txt";
  ASSERT_TRUE(EnsureSourcesFile(file.wstring()));
  EXPECT_EQ(FileText(file), DefaultSourcesFileText());
  WriteFileText(file, "http://mine/list.txt\r\n");
  EXPECT_TRUE(EnsureSourcesFile(file.wstring()));
  EXPECT_EQ(FileText(file), "http://mine/list.txt\r\n");
  std::filesystem::remove_all(root);
}

TEST(SourcesFile, UsersFileIsReadInGbkUnlessTheEnvironmentNamesSources) {
  const std::filesystem::path file = SourcesFilePath();
  ASSERT_TRUE(file.wstring().ends_with(L"\\Vantoip\\sources.txt")) << file;
  ASSERT_TRUE(EnsureSourcesFile(file.wstring()));
  const std::u8string_view utf8 = u8"\uFEFF# mine\r\n http://127.0.0.1:1/列表.txt \r\n";
  WriteFileText(file, std::string(utf8.begin(), utf8.end()));
  SetEnvironmentVariableW(L"VANTOIP_LIST_URL", nullptr);
  EXPECT_EQ(ProxySources(), std::vector<std::string>{"http://127.0.0.1:1/列表.txt"});
  SetEnvironmentVariableW(L"VANTOIP_LIST_URL", L" http://e/1\thttp://e/2 ");
  EXPECT_EQ(ProxySources(), (std::vector<std::string>{"http://e/1", "http://e/2"}));
  SetEnvironmentVariableW(L"VANTOIP_LIST_URL", nullptr);
  std::filesystem::remove(file);
  EXPECT_EQ(ProxySources().front(), ProxyListPageUrl);
}

}  // namespace
}  // namespace vantoip
