#include "app/main_window_controls.h"
#include "app/promotion/project_details_controls.h"
#include "app/promotion/promotion.h"

#include <gtest/gtest.h>

#include <cctype>

#include "app/promotion/project_details_layout.h"
#include "app/promotion/promotion_data.h"
#include "runtime/text.h"
#include "runtime/text_array.h"
#include "tests/support/memory_controls.h"

namespace vantoip {
namespace {

struct RecordingShell : ShellOpener {
  std::vector<std::string> opened;
  void Open(const std::string& address) override { opened.push_back(address); }
};

void Click(const std::vector<EventBinding>& events, const std::string& control, const EventArgs& args = {}) {
  int handled = 0;
  for (const EventBinding& e : events)
    if (e.control == control && e.kind == EventKind::Click) {
      e.handler(args);
      ++handled;
    }
  ASSERT_EQ(handled, 1) << control;
}

std::vector<std::string> AllProjectPages() {
  std::vector<std::string> pages;
  for (int project = 1; project <= kProjectCount; ++project) pages.push_back(ProjectPage(project));
  return pages;
}

// The 0-based tab a control of the details window shows on, -1 when none.
int TabOf(const std::string& name) {
  const WindowLayout& layout = ProjectDetailsLayout();
  for (const ControlLayout* c = FindControl(layout, name); c; c = FindControl(layout, c->parent)) {
    const ControlLayout* parent = FindControl(layout, c->parent);
    if (parent && parent->kind == ControlKind::TabControl) return c->tab;
  }
  return -1;
}

struct PromotionTest : ::testing::Test {
  RecordingShell shell;
  struct Load {
    std::shared_ptr<WindowControls> owner;
    std::string title;
    std::vector<EventBinding> events;
  };
  std::vector<Load> loads;
  Promotion promotion{shell, [this](const EventArgs& click, const WindowLayout& layout,
                                    std::vector<EventBinding> events) {
                        loads.push_back({click.window, layout.title, std::move(events)});
                      }};
};

TEST_F(PromotionTest, MainButtonsOpenTheProjectPagesInOrder) {
  const std::vector<EventBinding> events = promotion.Events();
  for (const char* button : {main_window::kProject1Button, main_window::kProject2Button, main_window::kProject3Button, main_window::kProject4Button}) Click(events, button);
  EXPECT_EQ(shell.opened, AllProjectPages());
  EXPECT_TRUE(loads.empty());
}

TEST_F(PromotionTest, DetailsButtonLoadsANewDetailsWindowOverTheMainWindowOnEveryClick) {
  const std::vector<EventBinding> events = promotion.Events();
  auto main = std::make_shared<test::MemoryControls>(WindowLayout{});
  Click(events, main_window::kDetailsButton, {main});
  Click(events, main_window::kDetailsButton, {main});
  ASSERT_EQ(loads.size(), 2u);
  EXPECT_EQ(loads[0].owner, main);
  EXPECT_EQ(loads[0].title, "项目详情");
  // Each tab's 注册帐号 button, in tab order, opens its project's page.
  for (const char* button : {details_window::kProject1Button, details_window::kProject2Button, details_window::kProject3Button, details_window::kProject4Button}) Click(loads[1].events, button);
  EXPECT_EQ(shell.opened, AllProjectPages());
}

TEST_F(PromotionTest, EveryDetailsBindingIsTheRegisterButtonOnItsProjectsTab) {
  const std::vector<EventBinding> events = promotion.DetailsEvents();
  ASSERT_EQ(events.size(), static_cast<std::size_t>(kProjectCount));
  for (int i = 0; i < kProjectCount; ++i) {
    const ControlLayout* button = FindControl(ProjectDetailsLayout(), events[i].control);
    ASSERT_TRUE(button) << events[i].control;
    EXPECT_EQ(button->kind, ControlKind::PushButton);
    EXPECT_EQ(button->caption, "注册帐号");
    EXPECT_EQ(TabOf(button->name), i) << button->name;
  }
  // Nothing of the window is left off its tabs.
  for (const ControlLayout& c : ProjectDetailsLayout().controls) {
    if (c.kind == ControlKind::TabControl) continue;
    EXPECT_NE(TabOf(c.name), -1) << c.name;
  }
}

TEST(PromotionData, PagesAreDistinctWebAddresses) {
  const std::vector<std::string> pages = AllProjectPages();
  for (std::size_t i = 0; i < pages.size(); ++i) {
    EXPECT_TRUE(pages[i].rfind("http://", 0) == 0 || pages[i].rfind("https://", 0) == 0) << pages[i];
    for (std::size_t j = 0; j < i; ++j) EXPECT_NE(pages[i], pages[j]);
  }
  EXPECT_EQ(ProjectPage(0), "");
  EXPECT_EQ(ProjectPage(kProjectCount + 1), "");
}

TEST(PromotionData, BlurbHasAHeadingAndADescriptionLinePerProject) {
  const TextArray lines = SplitText(AdvertisingBlurb(), "\r\n");
  ASSERT_EQ(lines.Count(), 2 * kProjectCount);
  for (int project = 1; project <= kProjectCount; ++project) {
    EXPECT_EQ(lines[2 * project - 1], std::string(24, ' ') + "推荐项目" + std::to_string(project));
    const std::string& description = lines[2 * project];
    EXPECT_EQ(description.substr(0, 2), "  ");
    EXPECT_GT(description.size(), 3u);
    EXPECT_NE(description[2], ' ');
  }
  EXPECT_EQ(ReplaceText(AdvertisingBlurb(), "\r\n", "").find_first_of("\r\n"), std::string::npos);  // CR LF pairs only
}

TEST(PromotionData, DescriptionsHaveTheThreeSectionsInOrderAndStatementIsOneLine) {
  for (int project = 1; project <= kProjectCount; ++project) {
    const TextArray lines = SplitText(ProjectDescription(project), "\r\n");
    std::vector<std::string> headings;
    for (const std::string& line : lines) {
      EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << project;
      if (line.rfind("    ", 0) == 0) headings.push_back(line);
    }
    EXPECT_EQ(headings, (std::vector<std::string>{"    项目介绍：", "    兑换问题：", "    其他问题："})) << project;
    // Two questions with their answers close the description.
    ASSERT_GE(lines.Count(), 2);
    EXPECT_EQ(lines[lines.Count() - 1].rfind("  问：", 0), 0u) << project;
    EXPECT_EQ(lines[lines.Count()].rfind("  问：", 0), 0u) << project;
  }
  EXPECT_EQ(ProjectDescription(kProjectCount + 1), "");
  const std::string& statement = ProjectStatement();
  EXPECT_EQ(statement.find_first_of("\r\n"), std::string::npos);
  ASSERT_FALSE(statement.empty());
  EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(statement.back()))) << "ends in the contact number";
}

}  // namespace
}  // namespace vantoip
