#include "app/settings/window_memory.h"

#include <algorithm>

#include "runtime/text.h"

namespace vantoip {
namespace {

constexpr int kWidestColumn = 2000;

std::string Joined(const std::vector<int>& numbers) {
  std::vector<std::string> texts;
  for (int n : numbers) texts.push_back(std::to_string(n));
  return JoinText(texts, ",");
}

}  // namespace

void RestoreWindowPlace(WindowControls& window, const std::string& list, const ProgramSettings& settings) {
  const std::vector<int> place = NumbersOf(settings.windowPlace);
  if (place.size() == 5 && place[2] > 0 && place[3] > 0)
    window.SetPlace({place[0], place[1], place[2], place[3], place[4] != 0});
  std::vector<int> widths = NumbersOf(settings.columnWidths);
  for (int& w : widths) w = std::clamp(w, 0, kWidestColumn);
  if (!widths.empty()) window.SetColumnWidths(list, widths);
}

void KeepWindowPlace(WindowControls& window, const std::string& list, DataFile& file) {
  ProgramSettings kept = ReadProgramSettings(file);
  const WindowPlace p = window.Place();
  if (p.width <= 0 || p.height <= 0) return;  // the window was already gone
  const std::string place = Joined({p.left, p.top, p.width, p.height, p.maximised ? 1 : 0});
  const std::string widths = Joined(window.ColumnWidths(list));
  if (kept.windowPlace == place && kept.columnWidths == widths) return;
  kept.windowPlace = place;
  kept.columnWidths = widths;
  WriteProgramSettings(file, kept);
}

}  // namespace vantoip
