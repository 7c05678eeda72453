#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace velmo {

namespace detail {
// Header of a reference-counted, immutable text block; the characters follow it in the same allocation.
struct TextBlock {
  std::atomic<std::uint64_t> refs;
  std::size_t size;
  char* chars() noexcept { return reinterpret_cast<char*>(this + 1); }
};
}  // namespace detail

// Immutable UTF-8 text with a shared, reference-counted buffer.
//
// A SharedText is a (block, offset, size) view: copying it copies the reference, never the characters, and
// `substr` makes a view into the same block. A document's source text is itself a SharedText, so a scalar that
// stands verbatim in the source is a substr of it and keeps the source alive instead of copying it.
//
// The count is atomic because deep copies of one tree may be owned by different threads; views share 32-bit
// offsets and sizes, so one block holds at most `kMaxBytes` bytes (a source larger than that must be rejected by
// whoever loads it).
class SharedText {
 public:
  static constexpr std::size_t kMaxBytes = UINT32_MAX;

  SharedText() noexcept = default;
  // Copies `text` into a fresh block (an empty text needs no block). Texts longer than kMaxBytes are cut.
  static SharedText copy_of(std::string_view text);

  SharedText(const SharedText& other) noexcept : block_(other.block_), offset_(other.offset_), size_(other.size_) {
    retain();
  }
  SharedText(SharedText&& other) noexcept : block_(other.block_), offset_(other.offset_), size_(other.size_) {
    other.block_ = nullptr;
    other.offset_ = other.size_ = 0;
  }
  SharedText& operator=(const SharedText& other) noexcept {
    SharedText copy(other);
    swap(copy);
    return *this;
  }
  SharedText& operator=(SharedText&& other) noexcept {
    SharedText moved(std::move(other));
    swap(moved);
    return *this;
  }
  ~SharedText() { release(); }

  void swap(SharedText& other) noexcept {
    std::swap(block_, other.block_);
    std::swap(offset_, other.offset_);
    std::swap(size_, other.size_);
  }

  std::string_view view() const noexcept {
    return block_ ? std::string_view(block_->chars() + offset_, size_) : std::string_view();
  }
  operator std::string_view() const noexcept { return view(); }  // NOLINT: a text reads as a view everywhere
  const char* data() const noexcept { return block_ ? block_->chars() + offset_ : ""; }
  std::size_t size() const noexcept { return size_; }
  bool empty() const noexcept { return size_ == 0; }

  // A view of `count` bytes at `pos` sharing this text's block; both are clamped to this text.
  SharedText substr(std::size_t pos, std::size_t count = std::string_view::npos) const noexcept;

  // True when both texts are views into the same block (used to check that copies share storage).
  bool shares_storage_with(const SharedText& other) const noexcept {
    return block_ != nullptr && block_ == other.block_;
  }

  friend bool operator==(const SharedText& a, const SharedText& b) noexcept { return a.view() == b.view(); }
  friend bool operator==(const SharedText& a, std::string_view b) noexcept { return a.view() == b; }

 private:
  // The view substr returns, before it takes its reference (empty views hold no block).
  SharedText unretained_view(std::size_t pos, std::size_t count) const noexcept {
    SharedText result;
    pos = std::min<std::size_t>(pos, size_);
    count = std::min<std::size_t>(count, size_ - pos);
    if (count == 0) return result;
    result.block_ = block_;
    result.offset_ = static_cast<std::uint32_t>(offset_ + pos);
    result.size_ = static_cast<std::uint32_t>(count);
    return result;
  }
  void retain() const noexcept {
    if (block_) block_->refs.fetch_add(1, std::memory_order_relaxed);
  }
  void release() noexcept {
    if (block_ != nullptr && block_->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) free_block(block_);
    block_ = nullptr;
  }
  static void free_block(detail::TextBlock* block) noexcept;  // after the last reference went

  friend class SharedTextViews;
  friend class TextReleaser;

  detail::TextBlock* block_ = nullptr;
  std::uint32_t offset_ = 0;
  std::uint32_t size_ = 0;
};

// Hands out many views of one text while touching its shared count once per batch instead of once per view.
//
// A loader makes a view of its source for nearly every scalar; each view still holds a reference, but the
// references are taken from the count in advance and the unused rest is given back when the issuer goes. The
// issuer must not outlive `text`.
class SharedTextViews {
 public:
  explicit SharedTextViews(const SharedText& text) noexcept : text_(text) {}
  ~SharedTextViews() {
    if (credit_ != 0) text_.block_->refs.fetch_sub(credit_, std::memory_order_relaxed);
  }
  SharedTextViews(const SharedTextViews&) = delete;
  SharedTextViews& operator=(const SharedTextViews&) = delete;

  // As text.substr(pos, count).
  SharedText substr(std::size_t pos, std::size_t count) noexcept {
    SharedText result = text_.unretained_view(pos, count);
    if (result.block_ == nullptr) return result;
    if (credit_ == 0) {
      text_.block_->refs.fetch_add(kBatch, std::memory_order_relaxed);
      credit_ = kBatch;
    }
    --credit_;
    return result;
  }

 private:
  static constexpr std::uint64_t kBatch = 4096;
  const SharedText& text_;
  std::uint64_t credit_ = 0;
};

// Gives back many references at once: the scalars of a collection nearly all view the same source text, so
// runs of references to one block come off its count together.
class TextReleaser {
 public:
  TextReleaser() noexcept = default;
  ~TextReleaser() { flush(); }
  TextReleaser(const TextReleaser&) = delete;
  TextReleaser& operator=(const TextReleaser&) = delete;

  // Takes over the reference `text` holds, leaving `text` empty.
  void take(SharedText& text) noexcept {
    detail::TextBlock* block = text.block_;
    if (block == nullptr) return;
    text.block_ = nullptr;
    if (block != block_) {
      flush();
      block_ = block;
    }
    ++count_;
  }

  void flush() noexcept {
    if (count_ != 0 && block_->refs.fetch_sub(count_, std::memory_order_acq_rel) == count_) {
      SharedText::free_block(block_);
    }
    count_ = 0;
  }

 private:
  detail::TextBlock* block_ = nullptr;
  std::uint64_t count_ = 0;
};

}  // namespace velmo
