// What a distributor edits: the advertising texts, the four project pages and
// the contact number. Everything here is ours to change.
#pragma once

#include <string>

namespace vantoip {

// Text of the advertising label: four blocks, each a heading line and a
// description line, separated by CR LF.
const std::string& AdvertisingBlurb();

}  // namespace vantoip
