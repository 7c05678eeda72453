// The parser's view of its input: a whole text, or a sliding window over
// chunks pulled from an InputSource. Tracks positions as it advances.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "events/event.hpp"
#include "events/parser.hpp"

namespace velmo::events::detail {

// Number of UTF-8 continuation bytes (10xxxxxx) in [p, p + n).
inline std::size_t count_continuation_bytes(const char* p, std::size_t n) {
  std::size_t count = 0;
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    std::uint64_t word;
    std::memcpy(&word, p + i, 8);
    const std::uint64_t high = word & 0x8080808080808080ULL;
    if (high == 0) continue;
    count += static_cast<std::size_t>(std::popcount(high & ~(word << 1)));
  }
  for (; i < n; ++i) count += (static_cast<unsigned char>(p[i]) & 0xC0) == 0x80;
  return count;
}

class Input {
 public:
  void reset(std::string_view text) {
    source_ = nullptr;
    cur_ = text.data();
    lim_ = text.data() + text.size();
    begin_ = cur_;
    reset_position();
  }

  void reset(InputSource& source, std::size_t chunk_size) {
    source_ = &source;
    chunk_ = chunk_size == 0 ? 65536 : chunk_size;
    eof_ = false;
    if (buf_.size() < chunk_ + 64) buf_.resize(chunk_ + 64);
    cur_ = lim_ = begin_ = buf_.data();
    reset_position();
  }

  [[nodiscard]] bool incremental() const { return source_ != nullptr; }
  [[nodiscard]] std::size_t retained_bytes() const { return buf_.capacity(); }

  // The byte k places ahead, or 0 past the end of the input.
  unsigned char peek(std::size_t k = 0) {
    if (k < static_cast<std::size_t>(lim_ - cur_)) return static_cast<unsigned char>(cur_[k]);
    return peek_slow(k);
  }

  bool at_end() { return cur_ == lim_ && !refill(1); }

  // Makes at least n bytes available when the input still has them.
  bool fill(std::size_t n) { return static_cast<std::size_t>(lim_ - cur_) >= n || refill(n); }

  [[nodiscard]] const char* cur() const { return cur_; }
  [[nodiscard]] const char* lim() const { return lim_; }
  [[nodiscard]] std::size_t available() const { return static_cast<std::size_t>(lim_ - cur_); }

  // Advances over n bytes that hold no line break.
  void skip(std::size_t n) {
    cont_ += count_continuation_bytes(cur_, n);
    cur_ += n;
  }
  // Advances over n ASCII bytes that hold no line break.
  void skip_ascii(std::size_t n) { cur_ += n; }

  // Advances over one line break: CR LF, CR or LF.
  void skip_break() {
    if (peek() == '\r' && peek(1) == '\n') {
      cur_ += 2;
    } else {
      cur_ += 1;
    }
    ++line_;
    line_start_index_ = index();
  }

  [[nodiscard]] std::size_t offset() const { return base_ + static_cast<std::size_t>(cur_ - begin_); }
  [[nodiscard]] std::size_t index() const { return offset() - cont_; }
  [[nodiscard]] std::size_t column() const { return index() - line_start_index_; }
  [[nodiscard]] std::size_t line() const { return line_; }
  [[nodiscard]] Mark mark() const {
    const std::size_t off = offset();
    const std::size_t idx = off - cont_;
    return Mark{off, idx, line_, idx - line_start_index_};
  }

 private:
  void reset_position() {
    base_ = 0;
    cont_ = 0;
    line_ = 1;
    line_start_index_ = 0;
  }

  unsigned char peek_slow(std::size_t k) {
    if (!refill(k + 1)) return 0;
    return static_cast<unsigned char>(cur_[k]);
  }

  // Slides the window so that it starts at cur_ and reads chunks until n
  // bytes are available or the source ends.
  bool refill(std::size_t n) {
    if (source_ == nullptr || eof_) return false;
    const std::size_t keep = static_cast<std::size_t>(lim_ - cur_);
    const std::size_t consumed = static_cast<std::size_t>(cur_ - begin_);
    if (consumed != 0) {
      if (keep != 0) std::memmove(buf_.data(), cur_, keep);
      base_ += consumed;
    }
    std::size_t have = keep;
    while (have < n && !eof_) {
      if (buf_.size() < have + chunk_) buf_.resize(have + chunk_);
      const std::size_t got = source_->read(std::span<char>(buf_.data() + have, chunk_));
      if (got == 0) {
        eof_ = true;
      } else {
        have += got < chunk_ ? got : chunk_;
      }
    }
    begin_ = cur_ = buf_.data();
    lim_ = cur_ + have;
    return have >= n;
  }

  const char* cur_ = nullptr;
  const char* lim_ = nullptr;
  const char* begin_ = nullptr;  // start of the window; offset base_
  std::size_t base_ = 0;
  std::size_t cont_ = 0;  // continuation bytes passed so far
  std::size_t line_ = 1;
  std::size_t line_start_index_ = 0;

  InputSource* source_ = nullptr;
  std::vector<char> buf_;
  std::size_t chunk_ = 65536;
  bool eof_ = false;
};

}  // namespace velmo::events::detail
