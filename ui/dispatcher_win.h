// Carries work from worker threads to the UI thread and waits for it.
#pragma once

#include <chrono>
#include <functional>

namespace vantoip {

class UiDispatcher {
 public:
  // On the UI thread: makes this thread the UI thread and creates the hidden
  // dispatch window (once; again after a Stop).
  static void Start();
  // On the UI thread: destroys the dispatch window; later Run calls from
  // other threads return false at once.
  static void Stop();
  // Runs `work` on the UI thread (directly when already there) and returns
  // after it ran; false when there is no UI thread to run it.
  static bool Run(const std::function<void()>& work);
  static bool OnUiThread();
  // True while work from other threads keeps arriving: the last piece
  // finished less than `window` ago. UI thread only.
  static bool Streaming(std::chrono::steady_clock::duration window);
};

}  // namespace vantoip
