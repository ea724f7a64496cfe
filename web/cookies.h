// Cookie lists: items name=value separated by ";" as received, by "; " as
// kept. An item ending in "=deleted" removes that cookie.
#pragma once

#include "runtime/text.h"
#include "runtime/text_array.h"

namespace vantoip {

// The text before the item's first "=" (all of it when there is none), trimmed.
Text CookieName(std::string_view item);

// True when some item's name equals `name` byte for byte.
bool HasCookieNamed(const TextArray& items, std::string_view name);

// Received items first, then the stored items whose names were not received,
// removed ones dropped. Both lists lose their spaces; `stored` becomes the
// merged list, which is also returned.
Text MergeCookies(Text& stored, Text& received);

}  // namespace vantoip
