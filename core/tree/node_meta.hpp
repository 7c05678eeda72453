#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "memory/tree_memory.hpp"
#include "tree/shared_text.hpp"

namespace velmo {

enum class ScalarStyle : std::uint8_t { Plain = 0, SingleQuoted = 1, DoubleQuoted = 2, Literal = 3, Folded = 4 };
enum class Chomping : std::uint8_t { Strip = 0, Clip = 1, Keep = 2 };

// The one comment a node may carry: its text without the '#', trimmed; `standalone` when it stood on its own
// line(s) before the node, false when it trailed the node on the same line.
struct Comment {
  SharedText text;
  bool standalone = false;
  friend bool operator==(const Comment&, const Comment&) = default;
};

// An explicit tag in source-like form: "!!" + "int", "!" + "point", or a full prefix kept as the handle.
struct Tag {
  std::string handle;
  std::string suffix;
  friend bool operator==(const Tag&, const Tag&) = default;
};

// The text a tag is written as: "!!int", "!", "!point", "!<tag:x>", or handle + suffix.
std::string tag_text(const Tag& tag);
void append_tag_text(std::string& out, const Tag& tag);

// A node's span in its source: byte offsets into the UTF-8 text, end exclusive.
struct SourceRange {
  std::size_t start = 0;
  std::size_t end = 0;
  friend bool operator==(const SourceRange&, const SourceRange&) = default;
};

// Comment, anchor, tag and source range of a node, all absent by default.
//
// Most loaded nodes have a source range and nothing else, so the range is stored inline (as 32-bit offsets) and
// the three rarer fields live behind one pointer that stays null until one of them is set: 16 bytes in all.
class NodeMeta {
 public:
  NodeMeta() noexcept = default;
  NodeMeta(const NodeMeta& other);
  NodeMeta(NodeMeta&& other) noexcept = default;
  NodeMeta& operator=(const NodeMeta& other);
  NodeMeta& operator=(NodeMeta&& other) noexcept = default;
  ~NodeMeta() = default;

  const Comment* comment() const noexcept { return extra_ && extra_->comment ? &*extra_->comment : nullptr; }
  const std::string* anchor() const noexcept { return extra_ && extra_->anchor ? &*extra_->anchor : nullptr; }
  const Tag* tag() const noexcept { return extra_ && extra_->tag ? &*extra_->tag : nullptr; }
  std::optional<SourceRange> source_range() const noexcept {
    if (start_ == kNoOffset) return std::nullopt;
    return SourceRange{start_, end_};
  }

  void set_comment(std::optional<Comment> comment);
  void set_anchor(std::optional<std::string> anchor);
  void set_tag(std::optional<Tag> tag);
  // Offsets beyond 32 bits are not representable (sources are limited to SharedText::kMaxBytes); such a range
  // is dropped.
  void set_source_range(std::optional<SourceRange> range) noexcept {
    if (!range || range->start >= kNoOffset || range->end >= kNoOffset) {
      start_ = end_ = kNoOffset;
      return;
    }
    start_ = static_cast<std::uint32_t>(range->start);
    end_ = static_cast<std::uint32_t>(range->end);
  }

  bool has_properties() const noexcept { return anchor() != nullptr || tag() != nullptr; }
  // True when no comment, anchor or tag is set (the source range does not count).
  bool has_no_metadata() const noexcept { return extra_ == nullptr; }

  // Compares comment, anchor and tag; the source range never takes part.
  friend bool operator==(const NodeMeta& a, const NodeMeta& b);

 private:
  static constexpr std::uint32_t kNoOffset = UINT32_MAX;
  struct Extra : memory::InTreeMemory {
    std::optional<Comment> comment;
    std::optional<std::string> anchor;
    std::optional<Tag> tag;
  };
  Extra& extra();
  void drop_extra_if_empty() noexcept;

  std::unique_ptr<Extra> extra_;
  std::uint32_t start_ = kNoOffset;
  std::uint32_t end_ = kNoOffset;
};

}  // namespace velmo
