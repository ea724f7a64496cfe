// The proxy sources of this machine: VANTOIP_LIST_URL and the user's sources file.
#pragma once

#include <string>
#include <vector>

namespace vantoip {

// <the user's roaming application data folder>\Vantoip\sources.txt; empty
// when the system names no such folder.
std::wstring SourcesFilePath();

// The sources of a list run (ChooseProxySources), as GBK texts.
std::vector<std::string> ProxySources();

// Creates the file's folder and the file with DefaultSourcesFileText() unless
// the file is there already (it is never overwritten). True when the file is there.
bool EnsureSourcesFile(const std::wstring& path);

// Opens the sources file in the system's text editor, created first when missing.
void EditProxySources();

}  // namespace vantoip
