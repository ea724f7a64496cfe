#include "app/promotion.h"

#include "app/project_details_layout.h"
#include "app/promotion_data.h"

namespace vantoip {

Promotion::Promotion(ShellOpener& shell, ModalWindowLoader loadModal)
    : shell_(shell), loadModal_(std::move(loadModal)) {}

std::vector<EventBinding> Promotion::Events() {
  std::vector<EventBinding> events = PageButtons({"按钮4", "按钮5", "按钮6", "按钮7"});
  events.push_back({"按钮3", EventKind::Click, [this](const EventArgs& click) { OpenDetailsWindow(click); }});
  return events;
}

std::vector<EventBinding> Promotion::DetailsEvents() { return PageButtons({"按钮1", "按钮2", "按钮3", "按钮4"}); }

std::vector<EventBinding> Promotion::PageButtons(const std::vector<std::string>& buttonOfProject) {
  std::vector<EventBinding> events;
  for (std::size_t i = 0; i < buttonOfProject.size(); ++i) {
    const int project = static_cast<int>(i) + 1;
    events.push_back({buttonOfProject[i], EventKind::Click, [this, project](const EventArgs&) { OpenProjectPage(project); }});
  }
  return events;
}

void Promotion::OpenProjectPage(int project) { shell_.Open(ProjectPage(project)); }

void Promotion::OpenDetailsWindow(const EventArgs& click) {
  // A new window on every click; it is destroyed when the user closes it.
  loadModal_(click, ProjectDetailsLayout(), DetailsEvents());
}

}  // namespace vantoip
