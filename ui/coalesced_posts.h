// Work from a worker for the window's thread, carried over in batches: while
// one batch waits to run, more work joins it instead of being posted on its
// own. A worker reporting thousands of events keeps at most one post in the
// window's queue and never waits for the window to catch up.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace vantoip {

class CoalescedPosts {
 public:
  using Post = std::function<void(std::function<void()>)>;
  explicit CoalescedPosts(Post post) : post_(std::move(post)), inbox_(std::make_shared<Inbox>()) {}

  // Any thread: `work` runs on the window's thread after the work added before it.
  void Add(std::function<void()> work) const {
    {
      std::lock_guard lock(Mutex());
      inbox_->work.push_back(std::move(work));
      if (std::exchange(inbox_->posted, true)) return;
    }
    post_([inbox = inbox_] {
      std::vector<std::function<void()>> batch;
      {
        std::lock_guard lock(Mutex());
        batch.swap(inbox->work);
        inbox->posted = false;
      }
      for (auto& work : batch) work();
    });
  }

 private:
  struct Inbox {
    std::vector<std::function<void()>> work;
    bool posted = false;
  };
  // One lock for all: MinGW's threads never destroy a std::mutex's system object.
  static std::mutex& Mutex() {
    static std::mutex* mutex = new std::mutex;
    return *mutex;
  }

  Post post_;
  std::shared_ptr<Inbox> inbox_;
};

}  // namespace vantoip
