#include "app/promotion/promotion.h"

#include "app/main_window_controls.h"
#include "app/promotion/project_details_controls.h"
#include "app/promotion/project_details_layout.h"
#include "app/promotion/promotion_data.h"

namespace vantoip {

Promotion::Promotion(ShellOpener& shell, ModalWindowLoader loadModal)
    : shell_(shell), loadModal_(std::move(loadModal)) {}

std::vector<EventBinding> Promotion::Events() {
  std::vector<EventBinding> events = PageButtons({main_window::kProject1Button, main_window::kProject2Button,
                                                               main_window::kProject3Button, main_window::kProject4Button});
  events.push_back({main_window::kDetailsButton, EventKind::Click, [this](const EventArgs& click) { OpenDetailsWindow(click); }});
  return events;
}

std::vector<EventBinding> Promotion::DetailsEvents() { return PageButtons({details_window::kProject1Button, details_window::kProject2Button,
                      details_window::kProject3Button, details_window::kProject4Button}); }

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
