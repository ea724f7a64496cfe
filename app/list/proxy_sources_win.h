// The proxy sources of this machine: VANTOIP_LIST_URL and the user's sources file.
#pragma once

#include <string>
#include <vector>

#include "app/list/proxy_sources.h"

namespace vantoip {

// DataFolder()\sources.txt; empty when there is no data folder.
std::wstring SourcesFilePath();

// The sources of a list run (ChooseProxySources), as GBK texts, read now.
ProxySourceList ProxySources();

// Creates the file's folder and the file with DefaultSourcesFileText() unless
// the file is there already (it is never overwritten). 0 when the file is
// there, else the system's error code of what failed.
unsigned long EnsureSourcesFile(const std::wstring& path);

// Opens the sources file in the system's text editor, created first when
// missing. Empty when it did; otherwise why not, for the title (GBK).
std::string EditProxySources();

}  // namespace vantoip
