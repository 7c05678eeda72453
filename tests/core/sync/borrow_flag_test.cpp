#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "sync/borrow_flag.hpp"

namespace velmo {
namespace {

TEST(BorrowFlag, ReadersShareWritersExclude) {
  BorrowFlag f;
  ASSERT_TRUE(f.try_share());
  ASSERT_TRUE(f.try_share());
  EXPECT_FALSE(f.try_exclude());  // "Already borrowed"
  f.unshare();
  EXPECT_FALSE(f.try_exclude());
  f.unshare();
  ASSERT_TRUE(f.try_exclude());
  EXPECT_FALSE(f.try_share());  // "Already mutably borrowed"
  EXPECT_FALSE(f.try_exclude());
  f.unexclude();
  EXPECT_TRUE(f.try_share());
  f.unshare();
  EXPECT_FALSE(f.shared());
  EXPECT_FALSE(f.excluded());
}

TEST(BorrowFlag, ConcurrentRequestsNeverOverlapAWriter) {
  BorrowFlag f;
  std::atomic<int> writers{0}, readers{0};
  std::atomic<bool> overlap{false};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 20000; ++i) {
        if ((i + t) % 3 == 0) {
          if (f.try_exclude()) {
            if (writers.fetch_add(1) != 0 || readers.load() != 0) overlap = true;
            writers.fetch_sub(1);
            f.unexclude();
          }
        } else if (f.try_share()) {
          readers.fetch_add(1);
          if (writers.load() != 0) overlap = true;
          readers.fetch_sub(1);
          f.unshare();
        }
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_FALSE(overlap.load());
  EXPECT_FALSE(f.shared() || f.excluded());
}

}  // namespace
}  // namespace velmo
