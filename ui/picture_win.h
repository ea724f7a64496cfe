// Picture box: shows a stored picture (JPEG, BMP, GIF, icon or cursor),
// stretched over the box.
#pragma once

#include <windows.h>

#include <string>

namespace vantoip {

// Registers the window class once; returns its name.
const wchar_t* PictureBoxClass();

// Loads the RCDATA resource `name` of the program as the box's picture.
// False when the resource is missing or is not a picture.
bool SetStoredPicture(HWND box, const std::string& name);

// True when the box holds a picture.
bool HasPicture(HWND box);

}  // namespace vantoip
