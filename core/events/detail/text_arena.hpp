// Storage for token texts that can't be views into the input (decoded or
// folded scalars, or anything read incrementally). Blocks never move, so a
// view stays valid until its block is recycled; blocks are recycled in the
// order they were filled once no queued token refers to them.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

namespace velmo::events::detail {

class TextArena {
 public:
  static constexpr std::size_t kBlockSize = 64 * 1024;

  // Sequence number of the block being filled; texts finished from now on
  // live in this block or a later one.
  [[nodiscard]] std::uint64_t current_seq() const { return active_.empty() ? next_seq_ : active_.back().seq; }

  [[nodiscard]] std::size_t blocks() const { return active_.size(); }
  [[nodiscard]] std::size_t retained_bytes() const {
    std::size_t bytes = 0;
    for (const Block& b : active_) bytes += b.capacity;
    for (const Block& b : free_) bytes += b.capacity;
    return bytes;
  }
  // Nothing was stored since everything was last released.
  [[nodiscard]] bool unused() const { return used_ == 0 && active_.size() <= 1; }

  // Recycles every block older than `seq`.
  void release_before(std::uint64_t seq) {
    std::size_t drop = 0;
    while (drop + 1 < active_.size() && active_[drop].seq < seq) ++drop;
    recycle_front(drop);
  }

  // Recycles everything: no text handed out earlier is used any more.
  void release_all() {
    if (active_.size() > 1) recycle_front(active_.size() - 1);
    used_ = 0;
    start_ = 0;
  }

  // Starts a new text.
  void begin() { start_ = used_; }
  void append(const char* p, std::size_t n) {
    if (n > capacity() - used_) grow(n);
    std::memcpy(data() + used_, p, n);
    used_ += n;
  }
  void push(char c) {
    if (used_ == capacity()) grow(1);
    data()[used_++] = c;
  }
  void push_n(char c, std::size_t n) {
    if (n > capacity() - used_) grow(n);
    std::memset(data() + used_, c, n);
    used_ += n;
  }
  [[nodiscard]] std::size_t size() const { return used_ - start_; }
  // The text started by begin().
  std::string_view finish() { return active_.empty() ? std::string_view() : std::string_view(data() + start_, used_ - start_); }

 private:
  struct Block {
    std::unique_ptr<char[]> data;
    std::size_t capacity = 0;
    std::uint64_t seq = 0;
  };

  [[nodiscard]] char* data() const { return active_.back().data.get(); }
  [[nodiscard]] std::size_t capacity() const { return active_.empty() ? 0 : active_.back().capacity; }

  // Moves the text in progress to a block with room for n more bytes.
  void grow(std::size_t n) {
    const std::size_t partial = used_ - start_;
    const std::size_t need = partial + n;
    Block block;
    auto fit = std::find_if(free_.begin(), free_.end(), [&](const Block& b) { return b.capacity >= need; });
    if (fit != free_.end()) {
      block = std::move(*fit);
      free_.erase(fit);
    } else {
      block.capacity = std::max(kBlockSize, need * 2);
      block.data = std::make_unique_for_overwrite<char[]>(block.capacity);
    }
    block.seq = next_seq_++;
    if (partial != 0) std::memcpy(block.data.get(), data() + start_, partial);
    active_.push_back(std::move(block));
    start_ = 0;
    used_ = partial;
  }

  void recycle_front(std::size_t count) {
    if (count == 0) return;
    for (std::size_t i = 0; i < count; ++i) {
      // Oversized blocks are not worth keeping around.
      if (active_[i].capacity <= 4 * kBlockSize && free_.size() < 4) free_.push_back(std::move(active_[i]));
    }
    active_.erase(active_.begin(), active_.begin() + static_cast<std::ptrdiff_t>(count));
  }

  std::vector<Block> active_;  // in the order they were filled
  std::vector<Block> free_;
  std::uint64_t next_seq_ = 0;
  std::size_t used_ = 0;   // bytes used in active_.back()
  std::size_t start_ = 0;  // start of the text in progress
};

// Collects one token text: a view into the input while the pieces appended
// are contiguous there (whole-text input only), else a copy in the arena.
class TextBuilder {
 public:
  TextBuilder(TextArena& arena, bool allow_view) : arena_(arena), allow_view_(allow_view) {}

  void append(const char* p, std::size_t n) {
    if (!copying_) {
      if (allow_view_ && (view_len_ == 0 || view_begin_ + view_len_ == p)) {
        if (view_len_ == 0) view_begin_ = p;
        view_len_ += n;
        return;
      }
      start_copy();
    }
    arena_.append(p, n);
  }
  void push(char c) {
    if (!copying_) start_copy();
    arena_.push(c);
  }
  void push_n(char c, std::size_t n) {
    if (n == 0) return;
    if (!copying_) start_copy();
    arena_.push_n(c, n);
  }
  [[nodiscard]] bool empty() const { return copying_ ? arena_.size() == 0 : view_len_ == 0; }
  std::string_view finish() {
    if (copying_) return arena_.finish();
    return view_len_ == 0 ? std::string_view() : std::string_view(view_begin_, view_len_);
  }

 private:
  void start_copy() {
    copying_ = true;
    arena_.begin();
    if (view_len_ != 0) arena_.append(view_begin_, view_len_);
  }

  TextArena& arena_;
  bool allow_view_;
  bool copying_ = false;
  const char* view_begin_ = nullptr;
  std::size_t view_len_ = 0;
};

}  // namespace velmo::events::detail
