#include "runtime/registry_win.h"

#include <windows.h>
#include <gtest/gtest.h>

namespace vantoip {
namespace {

const std::string kBase = "Software\\VantoipTest";

class Registry : public ::testing::Test {
 protected:
  void SetUp() override { RegDeleteTreeA(HKEY_CURRENT_USER, kBase.c_str()); }
  void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, kBase.c_str()); }

  static void SetRaw(const std::string& key, const std::string& name, DWORD type, const void* data, DWORD size) {
    HKEY k;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr), 0);
    ASSERT_EQ(RegSetValueExA(k, name.c_str(), 0, type, static_cast<const BYTE*>(data), size), 0);
    RegCloseKey(k);
  }
  static DWORD RawType(const std::string& key, const std::string& name) {
    DWORD type = 0;
    if (RegGetValueA(HKEY_CURRENT_USER, key.c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &type, nullptr,
                     nullptr) != ERROR_SUCCESS)
      return REG_NONE;
    return type;
  }
};

TEST_F(Registry, WritesCreateMissingKeysAndReadBack) {
  const std::string path = kBase + "\\a\\b\\c\\Server";
  EXPECT_TRUE(WriteRegistryValue(kCurrentUser, path, std::string("10.1.2.3:8080")));
  EXPECT_EQ(ReadRegistryText(kCurrentUser, path), "10.1.2.3:8080");
  EXPECT_EQ(RawType(kBase + "\\a\\b\\c", "Server"), static_cast<DWORD>(REG_SZ));

  EXPECT_TRUE(WriteRegistryValue(kCurrentUser, kBase + "\\Enable", std::int32_t{1}));
  EXPECT_EQ(ReadRegistryNumber(kCurrentUser, kBase + "\\Enable"), 1);
  EXPECT_TRUE(WriteRegistryValue(kCurrentUser, kBase + "\\Enable", 2.9));  // other numbers: truncated DWORD
  EXPECT_EQ(ReadRegistryNumber(kCurrentUser, kBase + "\\Enable"), 2);
  EXPECT_EQ(RawType(kBase, "Enable"), static_cast<DWORD>(REG_DWORD));

  EXPECT_TRUE(WriteRegistryValue(kCurrentUser, kBase + "\\Blob", ByteBlock{1, 2, 3}));
  EXPECT_EQ(RawType(kBase, "Blob"), static_cast<DWORD>(REG_BINARY));
}

TEST_F(Registry, ValueNamesIgnoreCaseAndEmptyTextIsStored) {
  WriteRegistryValue(kCurrentUser, kBase + "\\ProxyServer", std::string("1.2.3.4:80"));
  WriteRegistryValue(kCurrentUser, kBase + "\\proxyserver", std::string(""));
  EXPECT_EQ(RawType(kBase, "ProxyServer"), static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(ReadRegistryText(kCurrentUser, kBase + "\\PROXYSERVER", std::string("dflt")), "");
}

TEST_F(Registry, TypeMismatchesAndMissingValuesGiveTheDefault) {
  WriteRegistryValue(kCurrentUser, kBase + "\\Number", std::int32_t{7});
  WriteRegistryValue(kCurrentUser, kBase + "\\Text", std::string("7"));
  EXPECT_EQ(ReadRegistryText(kCurrentUser, kBase + "\\Number"), "");
  EXPECT_EQ(ReadRegistryText(kCurrentUser, kBase + "\\Number", std::string("d")), "d");
  EXPECT_EQ(ReadRegistryNumber(kCurrentUser, kBase + "\\Text"), 0);
  EXPECT_EQ(ReadRegistryNumber(kCurrentUser, kBase + "\\Text", 5), 5);
  EXPECT_EQ(ReadRegistryText(kCurrentUser, kBase + "\\Nothing\\Here", std::string("x")), "x");
  EXPECT_EQ(ReadRegistryNumber(kCurrentUser, kBase + "\\Missing"), 0);
}

TEST_F(Registry, ExpandableTextsAreExpandedAndLongTextsReadWhole) {
  const char raw[] = "%SystemRoot%\\x";
  SetRaw(kBase, "Expand", REG_EXPAND_SZ, raw, sizeof raw);
  char expected[MAX_PATH];
  ExpandEnvironmentStringsA(raw, expected, MAX_PATH);
  EXPECT_EQ(ReadRegistryText(kCurrentUser, kBase + "\\Expand"), expected);
  EXPECT_EQ(ReadRegistryText(kCurrentUser, kBase + "\\Expand").find('%'), std::string::npos);

  const std::string longText(10000, 'h');
  WriteRegistryValue(kCurrentUser, kBase + "\\Long", longText);
  EXPECT_EQ(ReadRegistryText(kCurrentUser, kBase + "\\Long"), longText);

  // A REG_SZ stored without its terminating zero still reads correctly.
  SetRaw(kBase, "NoZero", REG_SZ, "abc", 3);
  EXPECT_EQ(ReadRegistryText(kCurrentUser, kBase + "\\NoZero"), "abc");
}

TEST_F(Registry, PathSplitsAtTheLastRealBackslash) {
  // 0x95 0x5C is one GBK character whose trail byte is a backslash.
  const std::string name = "a\x95\x5C" "b";
  WriteRegistryValue(kCurrentUser, kBase + "\\" + name, std::int32_t{3});
  EXPECT_EQ(RawType(kBase, name), static_cast<DWORD>(REG_DWORD));
  // Root numbers outside 1..5 mean the current user.
  EXPECT_EQ(ReadRegistryNumber(99, kBase + "\\" + name), 3);
}

TEST_F(Registry, DeletesTheValueFirstThenAKeyWithoutSubkeys) {
  WriteRegistryValue(kCurrentUser, kBase + "\\k\\leaf\\v", std::int32_t{1});
  WriteRegistryValue(kCurrentUser, kBase + "\\k\\leaf", std::int32_t{9});  // value named like the subkey
  EXPECT_TRUE(DeleteRegistryItem(kCurrentUser, kBase + "\\k\\leaf"));  // the value goes first
  EXPECT_EQ(RawType(kBase + "\\k", "leaf"), static_cast<DWORD>(REG_NONE));
  EXPECT_EQ(ReadRegistryNumber(kCurrentUser, kBase + "\\k\\leaf\\v"), 1);  // the key is still there

  EXPECT_FALSE(DeleteRegistryItem(kCurrentUser, kBase + "\\k"));  // key with subkeys stays
  EXPECT_TRUE(DeleteRegistryItem(kCurrentUser, kBase + "\\k\\leaf\\v"));
  EXPECT_TRUE(DeleteRegistryItem(kCurrentUser, kBase + "\\k\\leaf"));  // now an empty key
  HKEY k;
  EXPECT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, (kBase + "\\k\\leaf").c_str(), 0, KEY_READ, &k), ERROR_SUCCESS);
  EXPECT_FALSE(DeleteRegistryItem(kCurrentUser, kBase + "\\none"));
}

}  // namespace
}  // namespace vantoip
