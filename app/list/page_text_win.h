// The list page as text: fetched over HTTP, decoded from UTF-8 into GBK with
// kernel32's conversions reached through the native command table.
#pragma once

#include <string>

#include "runtime/value.h"
#include "web/visit_web_page.h"

namespace vantoip {

// UTF-8 bytes to UTF-16LE code units (invalid sequences replaced, not rejected).
ByteBlock Utf8ToUtf16(const ByteBlock& utf8);
// UTF-16LE code units to GBK text; characters GBK lacks become "?".
std::string Utf16ToGbkText(const ByteBlock& utf16);
std::string Utf8ToGbkText(const ByteBlock& utf8);

// VisitWebPage with every optional argument passed on as supplied (an omitted
// one as a supplied empty value), the body decoded from UTF-8.
std::string FetchPageText(const Text& url, const WebRequestOptions& options = {});

}  // namespace vantoip
