#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace velmo {

// How the tree serializer lays out a document.
struct SerializeOptions {
  std::size_t indent_size = 2;      // body indentation of literal and folded scalars
  std::size_t indent_mapping = 2;   // extra indentation of a value written on the lines after its key
  std::size_t indent_sequence = 2;  // extra indentation of an item's content and of a compact mapping's entries
  std::size_t indent_offset = 0;    // indentation of the root node
  std::size_t width = 80;           // fold width of plain values in bytes; 0 never folds
  std::size_t max_depth = 1000;     // nesting limit
  bool explicit_start = false;      // "---" line first
  bool explicit_end = false;        // "..." line last
  bool sort_keys = false;           // block mapping entries in key-text order

  // The options a caller gets when it gives only one indentation: all three indentations take it.
  static SerializeOptions with_indent(std::size_t indent) {
    SerializeOptions options;
    options.indent_size = options.indent_mapping = options.indent_sequence = indent;
    return options;
  }
};

struct SerializeError {
  enum class Kind : std::uint8_t { DepthLimit, Internal };
  Kind kind = Kind::DepthLimit;
  std::size_t max_depth = 0;  // DepthLimit
  std::string message;        // Internal

  static SerializeError depth_limit(std::size_t limit) { return {Kind::DepthLimit, limit, {}}; }
  static SerializeError internal(std::string text) { return {Kind::Internal, 0, std::move(text)}; }

  // "max depth exceeded (max=N)" or "internal-error: " + message.
  std::string display() const {
    if (kind == Kind::DepthLimit) return "max depth exceeded (max=" + std::to_string(max_depth) + ")";
    return "internal-error: " + message;
  }
};

}  // namespace velmo
