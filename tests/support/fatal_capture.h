// Turns fatal runtime errors into exceptions for the duration of a test.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "runtime/fatal.h"

namespace vantoip::test {

struct FatalErrorRaised {
  int code;
  std::string text;
};

class FatalCapture {
 public:
  FatalCapture() : previous_(SetFatalErrorHandler(&Throw)) {}
  ~FatalCapture() { SetFatalErrorHandler(previous_); }

 private:
  [[noreturn]] static void Throw(int code, const std::string& text) { throw FatalErrorRaised{code, text}; }
  FatalErrorHandler previous_;
};

// Runs fn and returns the fatal error it raised; fails the test when it raised none.
template <class Fn>
FatalErrorRaised CatchFatal(Fn fn) {
  FatalCapture capture;
  try {
    fn();
  } catch (const FatalErrorRaised& e) {
    return e;
  }
  ADD_FAILURE() << "no fatal error was raised";
  return {-999, {}};
}

}  // namespace vantoip::test
