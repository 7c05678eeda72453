#include "memory/tree_memory.hpp"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace velmo::memory {

namespace {

constexpr std::size_t kAlign = 16;
// Empty chunks kept for reuse; beyond this they go back to the C++ allocator.
constexpr std::size_t kMaxCachedChunks = (std::size_t{64} << 20) / kChunkBytes;
// A chunk's count starts this high while a thread is carving from it, so the carving thread counts its blocks
// without atomic operations; the surplus is taken off when the thread moves on to another chunk.
constexpr std::int64_t kCarvingBias = std::int64_t{1} << 40;

// Chunks are aligned to their size, so a block finds its chunk's header by masking its address.
struct alignas(kAlign) ChunkHeader {
  std::atomic<std::int64_t> live;  // blocks not yet released, plus kCarvingBias while being carved
};

constexpr std::size_t kFirstOffset = (sizeof(ChunkHeader) + kAlign - 1) / kAlign * kAlign;

ChunkHeader* chunk_of(void* block) noexcept {
  return reinterpret_cast<ChunkHeader*>(reinterpret_cast<std::uintptr_t>(block) & ~(kChunkBytes - 1));
}

// Empty chunks, shared by all threads. Never destroyed: trees may be freed during static destruction. Room
// for every kept chunk is reserved up front, so remembering one never allocates.
struct ChunkCache {
  ChunkCache() { chunks.reserve(kMaxCachedChunks); }
  std::mutex mutex;
  std::vector<void*> chunks;
};

ChunkCache& cache() {
  static ChunkCache* const instance = new ChunkCache();
  return *instance;
}

void* take_chunk() {
  {
    ChunkCache& c = cache();
    std::lock_guard<std::mutex> lock(c.mutex);
    if (!c.chunks.empty()) {
      void* chunk = c.chunks.back();
      c.chunks.pop_back();
      return chunk;
    }
  }
  return ::operator new(kChunkBytes, std::align_val_t{kChunkBytes});
}

void recycle_chunk(ChunkHeader* header) noexcept {
  header->~ChunkHeader();
  void* chunk = header;
  {
    ChunkCache& c = cache();
    std::lock_guard<std::mutex> lock(c.mutex);
    if (c.chunks.size() < kMaxCachedChunks) {
      c.chunks.push_back(chunk);
      return;
    }
  }
  ::operator delete(chunk, std::align_val_t{kChunkBytes});
}

void drop_reference(ChunkHeader* header, std::int64_t count) noexcept {
  if (header->live.fetch_sub(count, std::memory_order_acq_rel) == count) recycle_chunk(header);
}

constexpr std::size_t rounded(std::size_t bytes) noexcept { return (bytes + kAlign - 1) & ~(kAlign - 1); }

// Small blocks a thread released, kept for its next allocations of the same size: a container that grows
// releases its old buffer just as the next one of that size is wanted, and without the lists such blocks would
// wait for their whole chunk to empty. A listed block still counts as live in its chunk; the lists are short,
// so they pin little.
constexpr std::size_t kListedMaxBytes = 1024;
constexpr std::size_t kListClasses = kListedMaxBytes / kAlign;
constexpr std::uint32_t kMaxListed = 32;

struct ListedBlock {
  ListedBlock* next;
};

// The chunk this thread is carving from, and its lists of released blocks.
class ThreadMemory {
 public:
  ThreadMemory() noexcept;
  ~ThreadMemory();

  void* allocate(std::size_t bytes) {
    if (bytes <= kListedMaxBytes) {
      List& list = lists_[bytes / kAlign - 1];
      if (list.head != nullptr) {
        ListedBlock* block = list.head;
        list.head = block->next;
        --list.count;
        return block;
      }
    }
    if (header_ == nullptr || kChunkBytes - offset_ < bytes) next_chunk();
    void* block = reinterpret_cast<char*>(header_) + offset_;
    offset_ += bytes;
    ++carved_;
    return block;
  }

  void release(void* block, std::size_t bytes) noexcept {
    if (bytes <= kListedMaxBytes) {
      List& list = lists_[bytes / kAlign - 1];
      if (list.count < kMaxListed) {
        list.head = ::new (block) ListedBlock{list.head};
        ++list.count;
        return;
      }
    }
    drop_reference(chunk_of(block), 1);
  }

 private:
  struct List {
    ListedBlock* head = nullptr;
    std::uint32_t count = 0;
  };

  void next_chunk() {
    void* chunk = take_chunk();
    retire();
    header_ = ::new (chunk) ChunkHeader{{kCarvingBias}};
    offset_ = kFirstOffset;
    carved_ = 0;
  }

  // Takes off the unused part of the bias: the chunk is recycled once its blocks are all released.
  void retire() noexcept {
    if (header_ == nullptr) return;
    drop_reference(header_, kCarvingBias - carved_);
    header_ = nullptr;
  }

  ChunkHeader* header_ = nullptr;
  std::size_t offset_ = 0;
  std::int64_t carved_ = 0;
  List lists_[kListClasses];
};

// This thread's ThreadMemory and whether it exists. Both are plain words in the initial TLS block, so reading
// them is one load even inside a shared library; the state can be read while the thread's other
// thread-locals are being destroyed (one of them may still release tree memory).
enum class ThreadState : unsigned char { Unborn, Alive, Gone };
[[gnu::tls_model("initial-exec")]] thread_local ThreadState t_state = ThreadState::Unborn;
[[gnu::tls_model("initial-exec")]] thread_local ThreadMemory* t_memory = nullptr;

// Owns the thread's ThreadMemory and gives its blocks back when the thread ends.
struct ThreadMemoryOwner {
  std::unique_ptr<ThreadMemory> memory = std::make_unique<ThreadMemory>();
  ThreadMemoryOwner() noexcept {
    t_memory = memory.get();
    t_state = ThreadState::Alive;
  }
  ~ThreadMemoryOwner() {
    t_state = ThreadState::Gone;
    t_memory = nullptr;
  }
};

ThreadMemory& thread_memory() {
  if (t_memory != nullptr) return *t_memory;
  thread_local ThreadMemoryOwner owner;
  return *owner.memory;
}

ThreadMemory::ThreadMemory() noexcept = default;

ThreadMemory::~ThreadMemory() {
  for (List& list : lists_) {
    while (list.head != nullptr) {
      ListedBlock* block = list.head;
      list.head = block->next;
      drop_reference(chunk_of(block), 1);
    }
  }
  retire();
}

// A block (of at most kMaxChunkedBytes) for a thread whose ThreadMemory is gone: a chunk of its own, recycled
// when the block is released.
void* allocate_alone() {
  void* chunk = take_chunk();
  ::new (chunk) ChunkHeader{{1}};
  return static_cast<char*>(chunk) + kFirstOffset;
}

}  // namespace

void* chunked_allocate(std::size_t bytes) {
  if (bytes == 0) bytes = 1;
  if (bytes > kMaxChunkedBytes) return ::operator new(bytes);  // 16-byte aligned on this platform
  if (t_state == ThreadState::Gone) return allocate_alone();
  return thread_memory().allocate(rounded(bytes));
}

void chunked_release(void* block, std::size_t bytes) noexcept {
  if (block == nullptr) return;
  if (bytes == 0) bytes = 1;
  if (bytes > kMaxChunkedBytes) {
    ::operator delete(block);
    return;
  }
  if (t_state == ThreadState::Alive) {
    t_memory->release(block, rounded(bytes));
  } else {
    drop_reference(chunk_of(block), 1);
  }
}

std::size_t cached_chunk_bytes() noexcept {
  ChunkCache& c = cache();
  std::lock_guard<std::mutex> lock(c.mutex);
  return c.chunks.size() * kChunkBytes;
}

#if defined(VELMO_PLAIN_TREE_MEMORY)
void* allocate(std::size_t bytes) { return ::operator new(bytes); }
void release(void* block, std::size_t) noexcept { ::operator delete(block); }
#else
void* allocate(std::size_t bytes) { return chunked_allocate(bytes); }
void release(void* block, std::size_t bytes) noexcept { chunked_release(block, bytes); }
#endif

}  // namespace velmo::memory
