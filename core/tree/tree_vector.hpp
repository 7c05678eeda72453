// A growable array in tree memory, small enough to live inside a node.
//
// 16 bytes: a pointer and two 32-bit counts. The one block it allocates starts with a header word that its owner
// may use (a mapping keeps its key index there), so a collection costs a single allocation. Elements must be
// trivially relocatable (nodes and mapping entries are: they own their resources through plain pointers), so
// growing, inserting and erasing move their bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <new>
#include <stdexcept>
#include <utility>

#include "memory/tree_memory.hpp"

namespace velmo {

template <class T>
class TreeVector {
 public:
  using value_type = T;
  using iterator = T*;
  using const_iterator = const T*;

  TreeVector() noexcept = default;
  TreeVector(const TreeVector& other) {
    if (other.size_ == 0) return;
    grow_to(other.size_);
    for (; size_ < other.size_; ++size_) ::new (static_cast<void*>(data_ + size_)) T(other.data_[size_]);
  }
  TreeVector(TreeVector&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)),
        size_(std::exchange(other.size_, 0)),
        capacity_(std::exchange(other.capacity_, 0)) {}
  TreeVector& operator=(const TreeVector& other) {
    if (this != &other) {
      TreeVector copy(other);
      swap(copy);
    }
    return *this;
  }
  TreeVector& operator=(TreeVector&& other) noexcept {
    TreeVector taken(std::move(other));
    swap(taken);
    return *this;
  }
  ~TreeVector() { release_storage(); }

  void swap(TreeVector& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    std::swap(capacity_, other.capacity_);
  }

  std::size_t size() const noexcept { return size_; }
  bool empty() const noexcept { return size_ == 0; }
  std::size_t capacity() const noexcept { return capacity_; }
  T* data() noexcept { return data_; }
  const T* data() const noexcept { return data_; }
  T* begin() noexcept { return data_; }
  T* end() noexcept { return data_ + size_; }
  const T* begin() const noexcept { return data_; }
  const T* end() const noexcept { return data_ + size_; }
  std::reverse_iterator<T*> rbegin() noexcept { return std::reverse_iterator<T*>(end()); }
  std::reverse_iterator<T*> rend() noexcept { return std::reverse_iterator<T*>(begin()); }
  std::reverse_iterator<const T*> rbegin() const noexcept { return std::reverse_iterator<const T*>(end()); }
  std::reverse_iterator<const T*> rend() const noexcept { return std::reverse_iterator<const T*>(begin()); }
  T& operator[](std::size_t i) noexcept { return data_[i]; }
  const T& operator[](std::size_t i) const noexcept { return data_[i]; }
  T& at(std::size_t i) {
    if (i >= size_) throw std::out_of_range("index out of range");
    return data_[i];
  }
  const T& at(std::size_t i) const {
    if (i >= size_) throw std::out_of_range("index out of range");
    return data_[i];
  }
  T& back() noexcept { return data_[size_ - 1]; }
  const T& back() const noexcept { return data_[size_ - 1]; }

  void reserve(std::size_t count) {
    if (count > capacity_) grow_to(count);
  }

  template <class... Args>
  T& emplace_back(Args&&... args) {
    if (size_ == capacity_) {
      // The new element is made before the old block goes: an argument may refer into it.
      TreeVector grown = with_capacity(next_capacity());
      ::new (static_cast<void*>(grown.data_ + size_)) T(std::forward<Args>(args)...);
      relocate_into(grown);
      grown.size_ = size_ + 1;
      size_ = 0;
      swap(grown);
      return back();
    }
    ::new (static_cast<void*>(data_ + size_)) T(std::forward<Args>(args)...);
    return data_[size_++];
  }
  void push_back(T&& value) { emplace_back(std::move(value)); }
  void push_back(const T& value) { emplace_back(value); }

  // Appends `count` elements by moving their bytes; the caller must then forget the originals without
  // destroying them (discard_relocated on a TreeVector).
  void append_relocated(const T* first, std::size_t count) {
    reserve(size_ + count);
    std::memcpy(static_cast<void*>(data_ + size_), static_cast<const void*>(first), count * sizeof(T));
    size_ += static_cast<std::uint32_t>(count);
  }

  // Shortens to `size` elements without destroying the rest: their bytes were relocated elsewhere.
  void discard_relocated(std::size_t size) noexcept { size_ = static_cast<std::uint32_t>(size); }

  // Puts `value` at `position` (at most size()), moving the later elements up.
  T& insert(std::size_t position, T&& value) {
    emplace_back(std::move(value));
    if (position + 1 < size_) {
      alignas(T) unsigned char held[sizeof(T)];
      std::memcpy(held, static_cast<void*>(data_ + size_ - 1), sizeof(T));
      std::memmove(static_cast<void*>(data_ + position + 1), static_cast<void*>(data_ + position),
                   (size_ - 1 - position) * sizeof(T));
      std::memcpy(static_cast<void*>(data_ + position), held, sizeof(T));
    }
    return data_[position];
  }

  // Removes the elements [first, last), moving the later ones down.
  void erase(std::size_t first, std::size_t last) noexcept {
    if (first >= last) return;
    for (std::size_t i = first; i < last; ++i) data_[i].~T();
    std::memmove(static_cast<void*>(data_ + first), static_cast<void*>(data_ + last), (size_ - last) * sizeof(T));
    size_ -= static_cast<std::uint32_t>(last - first);
  }
  void erase(std::size_t position) noexcept { erase(position, position + 1); }

  void pop_back() noexcept {
    data_[--size_].~T();
  }

  // Destroys the elements and keeps the block.
  void clear() noexcept {
    for (std::size_t i = size_; i-- > 0;) data_[i].~T();
    size_ = 0;
  }

  // Destroys the elements and frees the block. The owner has already dealt with the header word.
  void release_storage() noexcept {
    clear();
    if (data_ != nullptr) memory::release(header(), block_bytes(capacity_));
    data_ = nullptr;
    capacity_ = 0;
  }

  // The owner's header word: null until set, and only settable once the block exists.
  void* header_word() const noexcept { return data_ != nullptr ? header()->word : nullptr; }
  void set_header_word(void* word) noexcept { header()->word = word; }

 private:
  struct alignas(16) Header {
    void* word;
  };
  static_assert(sizeof(Header) == 16);

  static constexpr std::size_t kMaxCapacity = UINT32_MAX;

  static std::size_t block_bytes(std::size_t capacity) noexcept { return sizeof(Header) + capacity * sizeof(T); }
  Header* header() const noexcept { return reinterpret_cast<Header*>(data_) - 1; }

  std::size_t next_capacity() const {
    if (capacity_ == kMaxCapacity) throw std::length_error("collection too large");
    const std::size_t doubled = capacity_ == 0 ? 4 : 2 * static_cast<std::size_t>(capacity_);
    return doubled < kMaxCapacity ? doubled : kMaxCapacity;
  }

  // An empty vector owning a block for `capacity` elements, carrying this one's header word.
  TreeVector with_capacity(std::size_t capacity) const {
    if (capacity > kMaxCapacity) throw std::length_error("collection too large");
    TreeVector fresh;
    void* block = memory::allocate(block_bytes(capacity));
    fresh.data_ = reinterpret_cast<T*>(::new (block) Header{header_word()} + 1);
    fresh.capacity_ = static_cast<std::uint32_t>(capacity);
    return fresh;
  }

  // Moves the elements' bytes into `target` (which has room) and frees this block; the elements now belong to
  // `target`, whose size the caller sets.
  void relocate_into(TreeVector& target) noexcept {
    if (data_ == nullptr) return;
    std::memcpy(static_cast<void*>(target.data_), static_cast<const void*>(data_), size_ * sizeof(T));
    memory::release(header(), block_bytes(capacity_));
    data_ = nullptr;
    capacity_ = 0;
  }

  void grow_to(std::size_t capacity) {
    TreeVector grown = with_capacity(capacity);
    relocate_into(grown);
    grown.size_ = size_;
    size_ = 0;
    swap(grown);
  }

  T* data_ = nullptr;
  std::uint32_t size_ = 0;
  std::uint32_t capacity_ = 0;
};

}  // namespace velmo
