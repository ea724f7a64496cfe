// The list reader's page reader on the machine: the web request in its list
// mode, kernel32's UTF-8 decoding and the scripting RegExp with the row pattern.
#pragma once

#include <memory>

#include "app/list/proxy_list.h"

namespace vantoip {

// A page reader for the calling thread: starts its automation use, which the
// reader ends again when it goes.
std::unique_ptr<PageReader> MakeWindowsPageReader();

}  // namespace vantoip
