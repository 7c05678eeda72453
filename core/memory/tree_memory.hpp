// Where document trees keep their memory: collection storage, mapping indexes, node metadata and text blocks.
//
// A load makes hundreds of thousands of small blocks and a dropped tree frees them all together, a pattern the
// C library's allocator serves poorly (free-list consolidation on release, and heap trimming that hands pages
// back to the system only for the next load to fault them in again). Tree memory is instead carved from
// chunks: each thread bumps through a chunk of its own, and a chunk is recycled once every block carved from it
// has been released, on whatever thread. Empty chunks are kept (up to a cap) for the next tree, so repeated
// loads run on warm pages. Blocks larger than `kMaxChunkedBytes` come straight from the C++ allocator.
//
// Callers give the block's size back when releasing it. Sanitizer builds use the C++ allocator for every
// block (VELMO_PLAIN_TREE_MEMORY), so that trees stay visible to AddressSanitizer.
#pragma once

#include <cstddef>
#include <new>

namespace velmo::memory {

inline constexpr std::size_t kMaxChunkedBytes = 4096;

// Never returns null: throws std::bad_alloc when memory is exhausted. Blocks are 16-byte aligned.
void* allocate(std::size_t bytes);
// `bytes` must be the size the block was allocated with.
void release(void* block, std::size_t bytes) noexcept;

// The chunked allocator itself, which allocate/release use unless the build asks for plain memory (the
// sanitizer builds test it through these).
void* chunked_allocate(std::size_t bytes);
void chunked_release(void* block, std::size_t bytes) noexcept;
// Bytes held in empty chunks kept for reuse.
std::size_t cached_chunk_bytes() noexcept;
inline constexpr std::size_t kChunkBytes = std::size_t{256} << 10;

// A standard allocator over tree memory, for the containers inside a tree.
template <class T>
struct TreeAllocator {
  using value_type = T;

  TreeAllocator() noexcept = default;
  template <class U>
  TreeAllocator(const TreeAllocator<U>&) noexcept {}  // NOLINT: rebinding converts implicitly

  T* allocate(std::size_t count) {
    if (count > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
    return static_cast<T*>(memory::allocate(count * sizeof(T)));
  }
  void deallocate(T* block, std::size_t count) noexcept { memory::release(block, count * sizeof(T)); }

  template <class U>
  friend bool operator==(const TreeAllocator&, const TreeAllocator<U>&) noexcept {
    return true;
  }
};

// Gives a class allocated with `new` (the objects a node owns through a pointer) tree memory.
struct InTreeMemory {
  static void* operator new(std::size_t bytes) { return allocate(bytes); }
  static void operator delete(void* block, std::size_t bytes) noexcept { release(block, bytes); }
};

}  // namespace velmo::memory
