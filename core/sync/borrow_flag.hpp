// Shared/exclusive access to one object that refuses instead of waiting: readers share, a writer excludes
// everyone, and a conflicting request fails at once. Objects whose methods release the interpreter lock while
// they work use it so that another thread's call on the same object cannot interleave with them.
#pragma once

#include <atomic>
#include <cstdint>

namespace velmo {

class BorrowFlag {
 public:
  // Shared access; false when an exclusive borrow is active.
  bool try_share() noexcept {
    std::int64_t s = state_.load(std::memory_order_relaxed);
    while (s >= 0) {
      if (state_.compare_exchange_weak(s, s + 1, std::memory_order_acquire, std::memory_order_relaxed)) return true;
    }
    return false;
  }
  void unshare() noexcept { state_.fetch_sub(1, std::memory_order_release); }

  // Exclusive access; false when any borrow is active.
  bool try_exclude() noexcept {
    std::int64_t expected = 0;
    return state_.compare_exchange_strong(expected, -1, std::memory_order_acquire, std::memory_order_relaxed);
  }
  void unexclude() noexcept { state_.store(0, std::memory_order_release); }

  bool shared() const noexcept { return state_.load(std::memory_order_relaxed) > 0; }
  bool excluded() const noexcept { return state_.load(std::memory_order_relaxed) < 0; }

 private:
  std::atomic<std::int64_t> state_{0};  // > 0: readers, -1: one writer, 0: free
};

}  // namespace velmo
