// Fatal runtime errors: one routine shows the error and ends the process with
// exit code -1. The handler is replaceable so that tests can intercept it.
#pragma once

#include <string>
#include <string_view>

namespace vantoip {

enum FatalErrorCode : int {
  kNoErrorCode = 0,
  kIndexAboveCount = 1,
  kIndexBelowOne = 4,
  kTypeMismatch = 5,
  kStackMismatch = 6,
};

// Text of the error box: headline, optional code line, optional message line.
std::string FatalErrorText(int code, std::string_view message);

// Standard message of a numbered error (the empty text for other numbers).
std::string_view FatalErrorMessage(int code);

// A handler receives the composed text and must not return (exit or throw).
using FatalErrorHandler = void (*)(int code, const std::string& text);
FatalErrorHandler SetFatalErrorHandler(FatalErrorHandler handler);

[[noreturn]] void RaiseFatalError(int code, std::string_view message);
[[noreturn]] void RaiseFatalError(int code);                 // numbered error, standard message
[[noreturn]] void RaiseFatalError(std::string_view message);  // message-only error

// Routines run once when the process ends, normally or through a fatal error.
void AtEndOfRun(void (*routine)());
void RunEndOfRun();

}  // namespace vantoip
