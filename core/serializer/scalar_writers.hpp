#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace velmo {

// The scalar writers shared by the tree serializer and the direct dump of host values. Each appends to the
// caller's buffer and allocates nothing of its own.

// Where a plain scalar stands: inside a flow collection the flow indicators , [ ] { } also call for quotes.
enum class PlainContext : std::uint8_t { Block, Flow };

enum class PlainStyle : std::uint8_t { Plain, SingleQuoted, DoubleQuoted };

// How a text meant to be plain must be written so that it reads back as the same text:
// - a short word (at most 8 ASCII letters or digits) and a text that resolves to null, a boolean or a number
//   under the core schema stay plain (write_plain trims such a text if white space around it holds a line
//   break);
// - a text holding ':', '#', a line feed, a control or non-character, U+00A0 or U+FEFF, starting with an
//   indicator, starting or ending with a space, starting with "..." at the start of a line, or (in flow context)
//   holding a flow indicator is quoted: single quotes when it has a backslash and nothing single quotes cannot
//   carry, double quotes otherwise.
PlainStyle plain_style_for(std::string_view text, PlainContext context = PlainContext::Block,
                           bool at_line_start = false) noexcept;

// Writes `text` as a plain scalar if it may stand plain, else quoted as plain_style_for says. Plain text longer
// than `fold` bytes is folded at spaces (0: never fold); continuation lines are indented by the length of the
// line the text starts on (at least 2).
void write_plain(std::string& out, std::string_view text, std::size_t fold,
                 PlainContext context = PlainContext::Block);

// "..." with escapes for the quote, backslash, slash, controls and non-characters; never folded.
void write_double_quoted(std::string& out, std::string_view text);

// '...' with every single quote doubled; nothing else changes.
void write_single_quoted(std::string& out, std::string_view text);

// True when a text is at most 8 bytes of ASCII letters and digits (the empty text included): such texts are
// written verbatim without any test.
bool is_short_word(std::string_view text) noexcept;

// True when `text` holds only characters that quoted and block scalars carry as they are: no C0 control but
// the tab (and the line feed, when `allow_line_feed`), no carriage return, DEL, C1 control or non-character.
bool holds_only_printable(std::string_view text, bool allow_line_feed) noexcept;

// True when single quotes carry `text` unchanged: printable and on one line.
inline bool single_quotes_can_hold(std::string_view text) noexcept { return holds_only_printable(text, false); }

}  // namespace velmo
