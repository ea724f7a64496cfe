#include "app/list/proxy_sources_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/list/proxy_sources.h"

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

std::vector<std::string> Addresses(const ProxySourceList& list) {
  std::vector<std::string> addresses;
  for (const ProxySource& source : list.sources) addresses.push_back(source.address);
  return addresses;
}

// Every test works in a data folder of its own, never in the user's.
class SourcesFile : public ::testing::Test {
 protected:
  void SetUp() override {
    SetEnvironmentVariableW(L"VANTOIP_DATA_DIR", folder.c_str());
    SetEnvironmentVariableW(L"VANTOIP_LIST_URL", nullptr);
  }
  void TearDown() override {
    SetEnvironmentVariableW(L"VANTOIP_DATA_DIR", nullptr);
    std::filesystem::remove_all(root);
  }
  const std::filesystem::path root =
      std::filesystem::temp_directory_path() / ("vantoip-sources-" + std::to_string(GetCurrentProcessId()));
  const std::filesystem::path folder = root / "Vantoip";
  const std::filesystem::path file = folder / "sources.txt";
};

TEST_F(SourcesFile, CreatedWithItsFolderOnceAndNeverOverwritten) {
  ASSERT_EQ(std::filesystem::path(SourcesFilePath()), file);
  ASSERT_EQ(EnsureSourcesFile(file.wstring()), 0u);
  EXPECT_EQ(FileText(file), DefaultSourcesFileText());
  WriteFileText(file, "http://mine/list.txt\r\n");
  EXPECT_EQ(EnsureSourcesFile(file.wstring()), 0u);
  EXPECT_EQ(FileText(file), "http://mine/list.txt\r\n");
}

TEST_F(SourcesFile, ReadInGbkInEveryEncodingUnlessTheEnvironmentNamesSources) {
  ASSERT_EQ(EnsureSourcesFile(file.wstring()), 0u);
  const std::u8string_view utf8 = u8"\uFEFF# mine\r\n http://127.0.0.1:1/列表.txt \r\n";
  WriteFileText(file, std::string(utf8.begin(), utf8.end()));
  EXPECT_EQ(Addresses(ProxySources()), std::vector<std::string>{"http://127.0.0.1:1/列表.txt"});
  // Saved by Notepad as "Unicode": UTF-16 LE with its mark.
  const std::wstring_view utf16 = L"\uFEFF# mine\r\nhttp://127.0.0.1:2/列表.txt\r\n";
  WriteFileText(file, std::string(reinterpret_cast<const char*>(utf16.data()), utf16.size() * 2));
  EXPECT_EQ(Addresses(ProxySources()), std::vector<std::string>{"http://127.0.0.1:2/列表.txt"});
  SetEnvironmentVariableW(L"VANTOIP_LIST_URL", L" http://e/1\thttp://e/2 ");
  EXPECT_EQ(Addresses(ProxySources()), (std::vector<std::string>{"http://e/1", "http://e/2"}));
  SetEnvironmentVariableW(L"VANTOIP_LIST_URL", nullptr);
  // Over the limit: not cut (its last address could be half of one) but ignored, and said.
  WriteFileText(file, std::string((1 << 20) - 11, '#') + "\nhttp://a/1\n");
  EXPECT_EQ(ProxySources(), (ProxySourceList{DefaultProxySources(), kSourcesFileTooLarge}));
  std::filesystem::remove(file);
  EXPECT_EQ(ProxySources().sources.front().address, ProxyListPageUrl);
}

TEST_F(SourcesFile, EditingSaysWhyTheFileCannotBeMade) {
  std::filesystem::create_directories(root);
  WriteFileText(root / "Vantoip", "a file where the folder should be");
  const std::string why = EditProxySources();
  EXPECT_EQ(why.rfind("无法创建代理来源文件（", 0), 0u) << why;
  EXPECT_GT(why.size(), std::string("无法创建代理来源文件（）").size()) << "no reason given";
}

}  // namespace
}  // namespace vantoip
