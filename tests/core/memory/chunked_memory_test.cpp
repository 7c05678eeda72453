#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "memory/tree_memory.hpp"

namespace velmo::memory {
namespace {

struct Block {
  void* at;
  std::size_t bytes;
};

std::vector<Block> allocate_blocks(std::size_t count, std::size_t bytes, unsigned char fill) {
  std::vector<Block> blocks;
  for (std::size_t i = 0; i < count; ++i) {
    void* at = chunked_allocate(bytes);
    std::memset(at, fill, bytes);
    blocks.push_back({at, bytes});
  }
  return blocks;
}

void release_blocks(const std::vector<Block>& blocks) {
  for (const Block& b : blocks) chunked_release(b.at, b.bytes);
}

TEST(ChunkedMemory, BlocksAreAlignedAndDoNotOverlap) {
  std::vector<Block> blocks;
  const std::size_t sizes[] = {1, 15, 16, 17, 40, 80, 333, 4096, 4097, 20000};
  for (int round = 0; round < 50; ++round) {
    for (std::size_t size : sizes) {
      void* at = chunked_allocate(size);
      EXPECT_EQ(reinterpret_cast<std::uintptr_t>(at) % 16, 0u) << size;
      std::memset(at, static_cast<int>(blocks.size() & 0xff), size);
      blocks.push_back({at, size});
    }
  }
  // Every block still holds its own fill: no block was handed out twice or overlaps another.
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    const auto* bytes = static_cast<const unsigned char*>(blocks[i].at);
    for (std::size_t k = 0; k < blocks[i].bytes; ++k) ASSERT_EQ(bytes[k], i & 0xff) << "block " << i;
  }
  release_blocks(blocks);
}

TEST(ChunkedMemory, ReleasedChunksAreReusedNotReturned) {
  // Enough blocks to fill several chunks: every chunk but the one still being carved empties when they go.
  const std::size_t per_chunk = kChunkBytes / 1024;
  std::vector<Block> blocks = allocate_blocks(4 * per_chunk, 1024, 0xab);
  const std::size_t before = cached_chunk_bytes();
  release_blocks(blocks);
  const std::size_t after_release = cached_chunk_bytes();
  EXPECT_GE(after_release, before + 2 * kChunkBytes);
  // A new tree takes its chunks from the cache.
  blocks = allocate_blocks(3 * per_chunk, 1024, 0xcd);
  EXPECT_LT(cached_chunk_bytes(), after_release);
  release_blocks(blocks);
}

TEST(ChunkedMemory, BlocksMayBeReleasedOnAnotherThread) {
  std::vector<Block> blocks;
  std::thread maker([&] { blocks = allocate_blocks(1000, 48, 0x5a); });
  maker.join();
  // Both threads have exited once this returns: the maker's last chunk has no carver any more, and the blocks
  // the releasing thread kept for reuse went back with it, so the chunk is empty and recycled.
  const std::size_t before = cached_chunk_bytes();
  std::thread releaser([&] { release_blocks(blocks); });
  releaser.join();
  EXPECT_GT(cached_chunk_bytes(), before);
}

TEST(ChunkedMemory, ReleasedSmallBlockServesTheNextAllocationOfItsSize) {
  // A growing container frees its old buffer just before asking for one of that size again.
  void* first = chunked_allocate(80);
  chunked_release(first, 80);
  void* second = chunked_allocate(80);
  EXPECT_EQ(second, first);
  void* other = chunked_allocate(96);
  EXPECT_NE(other, first);
  chunked_release(second, 80);
  chunked_release(other, 96);
}

TEST(ChunkedMemory, ConcurrentAllocationAndRelease) {
  // Two threads each allocate blocks, fill them with their own mark, and release the other's after checking
  // the mark: a block handed out twice, or carved over another, shows as a wrong byte.
  constexpr int kRounds = 200;
  std::mutex mutex;
  std::vector<Block> handoff[2];
  int bad_bytes[2] = {0, 0};
  auto worker = [&](int me) {
    const auto mark = static_cast<unsigned char>(0x30 + me);
    for (int round = 0; round < kRounds; ++round) {
      std::vector<Block> mine = allocate_blocks(200, 16 + 16 * static_cast<std::size_t>(round % 7), mark);
      std::vector<Block> theirs;
      {
        std::lock_guard<std::mutex> lock(mutex);
        theirs = std::exchange(handoff[1 - me], {});
        handoff[me].insert(handoff[me].end(), mine.begin(), mine.end());
      }
      for (const Block& b : theirs) {
        const auto* bytes = static_cast<const unsigned char*>(b.at);
        for (std::size_t k = 0; k < b.bytes; ++k) bad_bytes[me] += bytes[k] != 0x30 + (1 - me);
      }
      release_blocks(theirs);
    }
  };
  std::thread a(worker, 0);
  std::thread b(worker, 1);
  a.join();
  b.join();
  EXPECT_EQ(bad_bytes[0], 0);
  EXPECT_EQ(bad_bytes[1], 0);
  release_blocks(handoff[0]);
  release_blocks(handoff[1]);
}

}  // namespace
}  // namespace velmo::memory
