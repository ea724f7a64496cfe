// Where the program keeps the files of its own.
#pragma once

#include <string>

namespace vantoip {

// <the user's roaming application data folder>\Vantoip, or the folder that
// VANTOIP_DATA_DIR names (tests give every run a folder of its own); empty
// when the system names no such folder. Not created here.
std::wstring DataFolder();

}  // namespace vantoip
