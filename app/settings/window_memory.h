// The main window's place and its list's column widths, kept in settings.ini
// from one run to the next.
#pragma once

#include "app/settings/program_settings.h"
#include "ui/window_controls.h"

namespace vantoip {

// As the settings name them; what they do not name stays as the layout has it.
void RestoreWindowPlace(WindowControls& window, const std::string& list, const ProgramSettings& settings);
// Into the file, its other lines kept; not written when nothing changed.
void KeepWindowPlace(WindowControls& window, const std::string& list, DataFile& file);

}  // namespace vantoip
