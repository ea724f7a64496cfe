// What a distributor edits: the advertising texts, the four project pages and
// the contact number. Everything here is ours to change.
#pragma once

#include <string>

namespace vantoip {

inline constexpr int kProjectCount = 4;

// Text of the advertising label: four blocks, each a heading line and a
// description line, separated by CR LF.
const std::string& AdvertisingBlurb();

// Registration page of project 1 to 4; empty for any other number.
const std::string& ProjectPage(int project);

// Description of project 1 to 4 on its tab of the project-details window:
// what the user does, how earnings are paid, two questions with answers.
// Empty for any other number.
const std::string& ProjectDescription(int project);

// The line at the top of every tab: a word on the projects and the contact number.
const std::string& ProjectStatement();

}  // namespace vantoip
