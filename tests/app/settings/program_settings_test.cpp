// settings.ini and the 设置 window: every field's range and fault, the
// environment winning, a round trip with other lines kept, the window's place.
#include "app/settings/program_settings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/settings/settings_window.h"
#include "app/settings/settings_window_layout.h"
#include "app/settings/window_memory.h"
#include "tests/support/memory_controls.h"

namespace vantoip {
namespace {

// settings.ini: the settings, other lines kept, damage means the default.
TEST(ProgramSettings, TheSettingsAreKeptBesideLinesOfOthers) {
  // Every setting's line, in order, as the defaults write it after `before`.
  const auto written = [](const std::string& before) {
    std::string text = before;
    for (const SettingField& field : SettingFields()) {
      const std::string line = std::string(field.key) + "=" + SettingText(ProgramSettings{}, field) + "\r\n";
      if (before.find(std::string(field.key) + "=") == std::string::npos) text += line;
    }
    return text;
  };
  test::MemoryDataFile file;
  EXPECT_TRUE(ReadProgramSettings(file).failover);  // no file
  file.file = "# mine\r\ntheme=dark\r\n failover = 0 \r\n";
  EXPECT_FALSE(ReadProgramSettings(file).failover);
  ASSERT_TRUE(WriteProgramSettings(file, {.failover = true}));
  EXPECT_EQ(file.file, written("# mine\r\ntheme=dark\r\nfailover=1\r\n"));
  file.file = "theme=dark\nrotation=1\nfailover=0\nfailover=0\nrelay=1\nguard_seconds=90";
  ProgramSettings read = ReadProgramSettings(file);
  EXPECT_TRUE(read.relay && read.rotation && !read.failover && read.guardSeconds == 90);
  read.rotation = false, read.failover = true;
  ASSERT_TRUE(WriteProgramSettings(file, read));
  EXPECT_EQ(file.file, written("theme=dark\r\nrotation=0\r\nfailover=1\r\nrelay=1\r\nguard_seconds=90\r\n"));
  file.file = "\xEF\xBB\xBF" "failover=0\r\n";  // a byte order mark, as Notepad saves
  EXPECT_FALSE(ReadProgramSettings(file).failover);
  ASSERT_TRUE(WriteProgramSettings(file, {.failover = true}));
  EXPECT_EQ(file.file, written("\xEF\xBB\xBF" "failover=1\r\n"));
  file.file = std::string("\xFF\xFE" "r\0e\0l\0a\0y\0=\0" "1\0\r\0\n\0", 18);  // Notepad's "Unicode"
  EXPECT_TRUE(ReadProgramSettings(file).relay);
  ASSERT_TRUE(WriteProgramSettings(file, {.relay = true}));
  EXPECT_EQ(file.file, written("\xEF\xBB\xBF" "relay=1\r\n"));
  // Bad values give the defaults and are named; the lines stay until the next write.
  file.file = "failover=maybe\r\nchecks_at_once=0\r\njudge_url=ftp://x/\r\nbroken line\r\n";
  std::vector<std::string> faulty;
  read = ReadProgramSettings(file, &faulty);
  EXPECT_TRUE(read.failover);
  EXPECT_EQ(read.checksAtOnce, kDefaultChecksInFlight);
  EXPECT_EQ(read.judgeUrl, "");
  EXPECT_EQ(faulty, (std::vector<std::string>{"failover", "checks_at_once", "judge_url"}));
  ASSERT_TRUE(WriteProgramSettings(file, read));
  EXPECT_EQ(file.file, written("failover=1\r\nchecks_at_once=512\r\njudge_url=\r\nbroken line\r\n"));
  for (const char* damaged : {"\xFF\xFE\x00" "f\x00" "a", "failover", ""}) {
    file.file = damaged;
    EXPECT_TRUE(ReadProgramSettings(file).failover) << damaged;
  }
  file.writable = false;
  EXPECT_FALSE(WriteProgramSettings(file, {.failover = false}));
}

// Each field refuses what it cannot be with its reason; the environment wins
// over the file, a number in it kept within its range, as tests and the demo use it.
TEST(ProgramSettings, EveryFieldsRangeAndTheEnvironmentWinning) {
  const auto field = [](std::string_view key) {
    return *std::find_if(SettingFields().begin(), SettingFields().end(), [&](const SettingField& f) { return f.key == key; });
  };
  ProgramSettings s;
  EXPECT_EQ(SetSetting(s, field("guard_seconds"), "10"), "须是 40 到 3600 之间的整数（一次检测最长要 40 秒，间隔不能更短）");
  EXPECT_EQ(SetSetting(s, field("guard_seconds"), " 60 "), "");
  EXPECT_EQ(s.guardSeconds, 60);
  for (const char* bad : {"0", "2049", "-1", "1e3", "", "12x"})
    EXPECT_EQ(SetSetting(s, field("checks_at_once"), bad), "须是 1 到 2048 之间的整数") << bad;
  EXPECT_EQ(SetSetting(s, field("check_url"), "https://a/"), "须是 http:// 开头的网址");
  EXPECT_EQ(SetSetting(s, field("https_url"), "http://a/"), "须是 https:// 开头的网址");
  EXPECT_EQ(SetSetting(s, field("https_status"), "99"), "须是 100 到 599 之间的状态码");
  EXPECT_EQ(SetSetting(s, field("relay"), "yes"), "须是 0 或 1");
  for (const char* key : {"check_url", "https_url", "https_status", "judge_url"}) EXPECT_EQ(SetSetting(s, field(key), ""), "");
  EXPECT_EQ(SetSetting(s, field("check_url"), "http://check.example:8080/x"), "");
  EXPECT_EQ(SetSetting(s, field("https_status"), "200"), "");
  const CheckPage page = CheckPageOf(s);
  EXPECT_EQ(page.host + ":" + std::to_string(page.port) + page.path, "check.example:8080/x");
  EXPECT_EQ(page.https.status, 200);

  const std::map<std::string, std::string> variables{{"VANTOIP_GUARD_SECONDS", "5"},
                                                     {"VANTOIP_CHECK_PARALLEL", "99999999999999999999"},
                                                     {"VANTOIP_CHECK_URL", "not an address"},
                                                     {"VANTOIP_CHECK_TEXT", "mine"}};
  std::vector<const SettingField*> overridden;
  const ProgramSettings effective = WithEnvironment(
      s, [&](const char* name) { return variables.count(name) ? variables.at(name).c_str() : nullptr; }, &overridden);
  EXPECT_EQ(effective.guardSeconds, kMinGuardSeconds);
  EXPECT_EQ(effective.checksAtOnce, kMaxChecksInFlight);
  EXPECT_EQ(effective.checkUrl, "http://check.example:8080/x");  // a bad one does not win
  EXPECT_EQ(effective.checkText, "mine");
  EXPECT_EQ(overridden.size(), 3u);
}

// The 设置 window: nothing saved until every field is good, each fault beside
// its field; what a variable decides shown read-only and kept in the file.
TEST(ProgramSettings, TheSettingsWindowSavesOnlyAGoodSetAndKeepsWhatTheEnvironmentDecides) {
  using namespace settings_window;
  test::MemoryDataFile file;
  file.file = "theme=dark\r\nguard_seconds=90\r\ncheck_url=http://file.example/\r\n";
  std::vector<ProgramSettings> applied;
  SettingsWindow settings({.file = &file,
                           .environment = [](const char* name) {
                             return std::string_view(name) == "VANTOIP_CHECK_URL" ? "http://env.example/" : nullptr;
                           },
                           .apply = [&](const ProgramSettings& saved) { applied.push_back(saved); }});
  const auto open = [&] {
    auto w = std::make_shared<test::MemoryControls>(SettingsWindowLayout());
    for (const EventBinding& e : settings.Events())
      if (e.kind == EventKind::Created) e.handler({w});
    return w;
  };
  const auto click = [&](const std::shared_ptr<test::MemoryControls>& w, const std::string& button) {
    for (const EventBinding& e : settings.Events())
      if (e.control == button && e.kind == EventKind::Click) e.handler({w});
  };
  auto w = open();
  EXPECT_EQ(w->Caption("guard_seconds"), "90");
  EXPECT_TRUE(w->Checked("guard"));
  EXPECT_EQ(w->Caption("check_url"), "http://env.example/");
  EXPECT_TRUE(w->Disabled("check_url"));
  EXPECT_NE(w->Caption(kOverriddenNote).find("VANTOIP_CHECK_URL"), std::string::npos);

  const std::string before = *file.file;
  w->SetCaption("guard_seconds", "10");
  w->SetCaption("bypass", "a.example\r\n10.0.0.0/8");
  click(w, kSaveButton);
  EXPECT_EQ(w->Caption(FaultOf("guard_seconds")), "须是 40 到 3600 之间的整数（一次检测最长要 40 秒，间隔不能更短）");
  EXPECT_EQ(w->Caption(FaultOf("bypass")), "网段不能用 / 写，请写成 10.* 这样");
  EXPECT_EQ(*file.file, before);
  EXPECT_TRUE(applied.empty());
  EXPECT_FALSE(w->closed);

  w->SetCaption("guard_seconds", "60");
  w->SetCaption("bypass", "a.example\r\n\r\n*.b.example ");
  w->SetChecked("relay", true);
  click(w, kSaveButton);
  EXPECT_TRUE(w->closed);
  EXPECT_EQ(w->Caption(FaultOf("guard_seconds")), "");
  ASSERT_EQ(applied.size(), 1u);
  EXPECT_EQ(applied[0].guardSeconds, 60);
  EXPECT_TRUE(applied[0].relay);
  for (const char* line : {"theme=dark\r\n", "guard_seconds=60\r\n", "check_url=http://file.example/\r\n",
                           "bypass=a.example;*.b.example\r\n", "relay=1\r\n"})
    EXPECT_NE(file.file->find(line), std::string::npos) << line;

  w = open();
  EXPECT_EQ(w->Caption("bypass"), "a.example\r\n*.b.example");
  click(w, kDefaultsButton);
  EXPECT_EQ(w->Caption("guard_seconds"), std::to_string(kDefaultGuardSeconds));
  EXPECT_FALSE(w->Checked("relay"));
  EXPECT_EQ(w->Caption("check_url"), "http://env.example/");
  file.writable = false;
  click(w, kSaveButton);
  EXPECT_FALSE(w->closed);  // open, with the reason
  EXPECT_NE(w->Caption(kSaveFault).find("settings.ini"), std::string::npos);
  EXPECT_EQ(applied.size(), 1u);
}

// The main window's place and column widths from one run to the next; a
// file written only when they changed; damaged values leave the layout's.
TEST(ProgramSettings, TheWindowsPlaceAndColumnsComeBack) {
  test::MemoryDataFile file;
  file.file = "theme=dark\r\n";
  test::MemoryControls left{WindowLayout{}}, next{WindowLayout{}};
  left.place = {-1200, 40, 900, 700, true};  // on a monitor left of the main one
  left.columnWidths = {50, 180, 50};
  KeepWindowPlace(left, "list", file);
  EXPECT_NE(file.file->find("theme=dark\r\n"), std::string::npos);
  EXPECT_NE(file.file->find("window=-1200,40,900,700,1\r\n"), std::string::npos);
  const std::string spaced = "window = -1200,40,900,700,1\r\ncolumns = 50,180,50\r\n";
  file.file = spaced;
  KeepWindowPlace(left, "list", file);  // unchanged: not written again (a write would drop the spaces)
  EXPECT_EQ(*file.file, spaced);
  RestoreWindowPlace(next, "list", ReadProgramSettings(file));
  EXPECT_EQ(next.place.left, -1200);
  EXPECT_EQ(next.place.width, 900);
  EXPECT_TRUE(next.place.maximised);
  EXPECT_EQ(next.columnWidths, left.columnWidths);
  test::MemoryControls fresh{WindowLayout{}};
  for (const char* bad : {"window=1,2,3\r\ncolumns=a,b\r\n", "window=1,2,0,5,0\r\ncolumns=\r\n"}) {
    file.file = bad;
    RestoreWindowPlace(fresh, "list", ReadProgramSettings(file));
    EXPECT_EQ(fresh.place.width, 0) << bad;
    EXPECT_TRUE(fresh.columnWidths.empty()) << bad;
  }
}

}  // namespace
}  // namespace vantoip
