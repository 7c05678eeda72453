// Events produced by the YAML event parser, and their positions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace velmo::events {

// A position in the input. `offset` counts bytes, `index` counts characters
// (code points); both start at 0. `line` starts at 1, `column` at 0 and is
// counted in characters.
struct Mark {
  std::size_t offset = 0;
  std::size_t index = 0;
  std::size_t line = 1;
  std::size_t column = 0;

  friend bool operator==(const Mark&, const Mark&) = default;
};

enum class EventType : std::uint8_t {
  StreamStart,
  StreamEnd,
  DocumentStart,
  DocumentEnd,
  MappingStart,
  MappingEnd,
  SequenceStart,
  SequenceEnd,
  Scalar,
  Alias,
  Comment,
};

// Numbered 0..4 in the same order as the document tree's scalar styles.
enum class ScalarStyle : std::uint8_t { Plain, SingleQuoted, DoubleQuoted, Literal, Folded };

// The chomping indicator written in a block scalar header ('-' strip, none
// clip, '+' keep). Numbered 0..2 like the document tree's chomping.
enum class Chomping : std::uint8_t { Strip, Clip, Keep };

// One parser event. Every string_view stays valid until the next call to
// Parser::next() (or until the parser is destroyed); copy what must outlive it.
struct Event {
  EventType type = EventType::StreamStart;
  ScalarStyle style = ScalarStyle::Plain;  // Scalar
  Chomping chomping = Chomping::Clip;      // Scalar: the written indicator for Literal/Folded
  // DocumentStart: no "---" was written. DocumentEnd: no "..." was written.
  bool implicit = false;
  bool flow = false;            // MappingStart/SequenceStart: written in brackets
  bool inline_comment = false;  // Comment: other content precedes it on its line
  bool has_tag = false;         // Scalar/MappingStart/SequenceStart
  // Scalar/MappingStart/SequenceStart: the anchor's number (1, 2, ... in order
  // of appearance; 0 = no anchor). Alias: the number of the anchor it names.
  std::uint32_t anchor = 0;
  std::string_view anchor_name;  // the name as written (anchored nodes and aliases)
  std::string_view value;        // Scalar: decoded text. Comment: the text after '#'.
  // Resolved tag: prefix (from %TAG, the defaults "!" and "tag:yaml.org,2002:",
  // or empty for a verbatim !<...> tag) and suffix (with %-escapes decoded).
  std::string_view tag_prefix;
  std::string_view tag_suffix;
  Mark start;
  Mark end;
};

// A parse failure: the message and where it was found.
struct ParseError {
  std::string message;
  Mark mark;

  // "<message> at char <index> line <line> column <column+1>"
  [[nodiscard]] std::string description() const {
    return message + " at char " + std::to_string(mark.index) + " line " + std::to_string(mark.line) +
           " column " + std::to_string(mark.column + 1);
  }
};

}  // namespace velmo::events
