// The system's save dialog for a text the program hands over.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace vantoip {

// Asks where to save (the dialog owned by `owner`, `suggestedName` filled in,
// GBK) and writes `bytes` there as they are. Nothing when the user cancelled;
// else an empty text when saved, or why it could not be (GBK).
std::optional<std::string> SaveWithDialog(HWND owner, const std::string& suggestedName, std::string_view bytes);

}  // namespace vantoip
