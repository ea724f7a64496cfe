// Carries work from worker threads to the UI thread: posted writes go on in
// order without waiting, reads wait for their answer.
#pragma once

#include <cstddef>
#include <functional>

namespace vantoip {

class UiDispatcher {
 public:
  // Posted work waiting at most; a poster that finds the queue full waits.
  static constexpr std::size_t kQueueCapacity = 4096;

  // On the UI thread: makes this thread the UI thread and creates the hidden
  // dispatch window (once; again after a Stop). False when it cannot be made.
  static bool Start();
  // On the UI thread: drops the work still queued and destroys the dispatch
  // window; later calls from other threads return false at once.
  static void Stop();
  // Queues `work` for the UI thread behind everything posted before and
  // returns (on the UI thread it runs at once); false when there is no UI thread.
  static bool Post(std::function<void()> work);
  // Runs `work` on the UI thread after the caller's earlier posts and returns
  // once it ran (directly when already there); false when it could not run.
  static bool Run(const std::function<void()>& work);
  static bool OnUiThread();
  // True when no posted work waits.
  static bool Idle();
};

}  // namespace vantoip
