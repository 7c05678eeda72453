// Tokens passed from the scanner to the parser.
#pragma once

#include <cstdint>
#include <string_view>

#include "events/event.hpp"

namespace velmo::events::detail {

enum class TokenType : std::uint8_t {
  StreamStart,
  StreamEnd,
  VersionDirective,
  TagDirective,
  DocumentStart,
  DocumentEnd,
  BlockSequenceStart,
  BlockMappingStart,
  BlockEnd,
  FlowSequenceStart,
  FlowSequenceEnd,
  FlowMappingStart,
  FlowMappingEnd,
  BlockEntry,
  FlowEntry,
  Key,
  Value,
  Alias,
  Anchor,
  Tag,
  Scalar,
};

// 128 bytes with its alignment: the queue's index arithmetic is then shifts, not divisions.
struct alignas(64) Token {
  Token(TokenType token_type, const Mark& start_mark, const Mark& end_mark, std::uint64_t seq)
      : type(token_type), arena_seq(seq), start(start_mark), end(end_mark) {}

  TokenType type;
  ScalarStyle style = ScalarStyle::Plain;
  Chomping chomping = Chomping::Clip;
  std::uint32_t major = 0;  // VersionDirective
  std::uint32_t minor = 0;
  // Scalar: its text. Alias/Anchor: the name. Tag: the suffix. TagDirective: the handle.
  std::string_view value;
  // Tag: the handle ("" for a verbatim tag). TagDirective: the prefix.
  std::string_view extra;
  std::uint64_t arena_seq;  // the text arena block current when the token was made
  Mark start;
  Mark end;
};

// A comment found by the scanner, delivered once every token before it is consumed.
struct CommentToken {
  std::string_view text;
  bool inline_comment = false;
  std::uint64_t before_token = 0;  // number of the first token after it
  std::uint64_t arena_seq = 0;
  Mark start;
  Mark end;
};

}  // namespace velmo::events::detail
