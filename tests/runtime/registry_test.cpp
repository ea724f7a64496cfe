#include "runtime/registry_win.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/encoding_win.h"
#include "runtime/handle_win.h"
#include "runtime/system_win.h"

namespace vantoip {
namespace {

const std::string kBase = "Software\\VantoipTest";

class Registry : public ::testing::Test {
 protected:
  void SetUp() override { RegDeleteTreeA(HKEY_CURRENT_USER, kBase.c_str()); }
  void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, kBase.c_str()); }

  // Keys and names are GBK texts, stored as what they spell; so are the texts of the values.
  static void SetRaw(const std::string& key, const std::string& name, DWORD type, const void* data, DWORD size) {
    RegistryKey k;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, GbkToWide(key).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, k.Receive(),
                              nullptr),
              0);
    ASSERT_EQ(RegSetValueExW(k.Get(), GbkToWide(name).c_str(), 0, type, static_cast<const BYTE*>(data), size), 0);
  }
  static DWORD RawType(const std::string& key, const std::string& name) {
    DWORD type = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, GbkToWide(key).c_str(), GbkToWide(name).c_str(), RRF_RT_ANY | RRF_NOEXPAND,
                     &type, nullptr, nullptr) != ERROR_SUCCESS)
      return REG_NONE;
    return type;
  }
  static std::wstring RawText(const std::string& key, const std::string& name) {
    wchar_t text[256] = {};
    DWORD size = sizeof text;
    RegGetValueW(HKEY_CURRENT_USER, GbkToWide(key).c_str(), GbkToWide(name).c_str(), RRF_RT_REG_SZ, nullptr, text,
                 &size);
    return text;
  }
};

// Texts outside GBK (Thai, here) go in and out whole through the UTF-8 calls.
TEST_F(Registry, Utf8TextsKeepWhatGbkCannotSpell) {
  const std::string path = kBase + "\\AutoConfigURL";
  const std::string url = "http://wpad/\xE0\xB8\x81.pac";  // U+0E01
  EXPECT_FALSE(RegistryValueExists(kCurrentUser, path));
  EXPECT_EQ(ReadRegistryUtf8(kCurrentUser, path), std::nullopt);
  EXPECT_TRUE(WriteRegistryUtf8(kCurrentUser, path, url));
  EXPECT_TRUE(RegistryValueExists(kCurrentUser, path));
  EXPECT_EQ(ReadRegistryUtf8(kCurrentUser, path), url);
  EXPECT_EQ(RawText(kBase, "AutoConfigURL"), L"http://wpad/\u0E01.pac");
  EXPECT_EQ(RawType(kBase, "AutoConfigURL"), static_cast<DWORD>(REG_SZ));
}

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

// A write the system refuses says why, for whoever watches the debugger's output.
TEST_F(Registry, ARefusedWriteNotesTheCallAndTheSystemsReason) {
  static std::vector<std::string> notes;
  notes.clear();
  const FailureSink before = SetFailureSink([](const std::string& note) { notes.push_back(note); });
  const std::string path = kBase + "\\" + std::string(300, 'k') + "\\Server";  // key names end at 255
  EXPECT_FALSE(WriteRegistryValue(kCurrentUser, path, std::string("x")));
  SetFailureSink(before);
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0].rfind("Vantoip: RegCreateKeyExW " + path + ": ", 0), 0u) << notes[0];
  EXPECT_NE(notes[0].find(" (87)"), std::string::npos) << notes[0];  // ERROR_INVALID_PARAMETER
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
  const wchar_t raw[] = L"%SystemRoot%\\x";
  SetRaw(kBase, "Expand", REG_EXPAND_SZ, raw, sizeof raw);
  wchar_t expected[MAX_PATH];
  ExpandEnvironmentStringsW(raw, expected, MAX_PATH);
  EXPECT_EQ(ReadRegistryText(kCurrentUser, kBase + "\\Expand"), WideToGbk(expected));
  EXPECT_EQ(ReadRegistryText(kCurrentUser, kBase + "\\Expand").find('%'), std::string::npos);

  const std::string longText(10000, 'h');
  WriteRegistryValue(kCurrentUser, kBase + "\\Long", longText);
  EXPECT_EQ(ReadRegistryText(kCurrentUser, kBase + "\\Long"), longText);

  // A REG_SZ stored without its terminating zero still reads correctly.
  SetRaw(kBase, "NoZero", REG_SZ, L"abc", 6);
  EXPECT_EQ(ReadRegistryText(kCurrentUser, kBase + "\\NoZero"), "abc");
}

// The window shows what the registry holds on any system: under the test
// prefix's single-byte ANSI code page (1252) too.
TEST_F(Registry, TextsKeysAndNamesAreGbkWhateverTheAnsiCodePage) {
  ASSERT_NE(GetACP(), kGbkCodePage);
  const std::string key = kBase + "\\代理";
  EXPECT_TRUE(WriteRegistryValue(kCurrentUser, key + "\\服务器", std::string("北京:8080")));
  EXPECT_EQ(RawText(key, "服务器"), L"北京:8080");
  EXPECT_EQ(ReadRegistryText(kCurrentUser, key + "\\服务器"), "北京:8080");

  const wchar_t shown[] = L"上海é:80";  // "é" is GBK too
  SetRaw(kBase, "Shown", REG_SZ, shown, sizeof shown);
  EXPECT_EQ(ReadRegistryText(kCurrentUser, kBase + "\\Shown"), WideToGbk(shown));
  SetEnvironmentVariableW(L"VANTOIP_REGISTRY_TEST", L"广州");
  const wchar_t expandable[] = L"%VANTOIP_REGISTRY_TEST%:80";
  SetRaw(kBase, "Expandable", REG_EXPAND_SZ, expandable, sizeof expandable);
  EXPECT_EQ(ReadRegistryText(kCurrentUser, kBase + "\\Expandable"), "广州:80");

  EXPECT_TRUE(DeleteRegistryItem(kCurrentUser, key + "\\服务器"));
  EXPECT_EQ(RawType(key, "服务器"), static_cast<DWORD>(REG_NONE));
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
  EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, GbkToWide(kBase + "\\k\\leaf").c_str(), 0, KEY_READ, &k), ERROR_SUCCESS);
  EXPECT_FALSE(DeleteRegistryItem(kCurrentUser, kBase + "\\none"));
}

}  // namespace
}  // namespace vantoip
