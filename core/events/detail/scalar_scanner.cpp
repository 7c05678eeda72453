// Scanning of scalars: plain, single- and double-quoted (with escapes and
// line folding) and block scalars (indentation, folding and chomping).
#include <algorithm>

#include "events/detail/char_class.hpp"
#include "events/detail/scanner.hpp"
#include "text/unicode.hpp"

namespace velmo::events::detail {

namespace {

void append_utf8(TextBuilder& text, std::uint32_t cp) {
  char bytes[4];
  const std::size_t n = text::encode_utf8(cp, bytes);
  for (std::size_t k = 0; k < n; ++k) text.push(bytes[k]);
}

}  // namespace

bool Scanner::scan_block_breaks(long& indent, std::size_t& breaks, Mark& line_start, bool detect,
                                long& max_empty) {
  for (;;) {
    line_start = in_.mark();
    while ((detect || static_cast<long>(in_.column()) < indent) && in_.peek() == ' ') in_.skip_ascii(1);
    unsigned c = in_.peek();
    if ((detect || static_cast<long>(in_.column()) < indent) && c == '\t') {
      // A tab where indentation is expected. Past the parent's indentation
      // it is content (or ends the scalar); within it, it is an error.
      if (static_cast<long>(in_.column()) <= indent_) {
        return fail("a block scalar content cannot start with a tab", in_.mark());
      }
      break;
    }
    if (c == 0 && in_.at_end()) {
      // A last line of spaces without a line break still counts as a line.
      if (in_.offset() > line_start.offset) {
        if (detect && static_cast<long>(in_.column()) > max_empty) max_empty = static_cast<long>(in_.column());
        ++breaks;
      }
      break;
    }
    if (!is_break(c)) break;
    if (detect && static_cast<long>(in_.column()) > max_empty) max_empty = static_cast<long>(in_.column());
    ++breaks;
    in_.skip_break();
  }
  if (detect) {
    const long column = static_cast<long>(in_.column());
    const bool content = !(in_.peek() == 0 && in_.at_end()) && column > indent_;
    indent = std::max(content ? column : max_empty, indent_ + 1);
    if (content && max_empty > column) return fail("wrongly indented line in block scalar", in_.mark());
  }
  return true;
}

bool Scanner::fetch_block_scalar(bool literal) {
  if (!remove_simple_key()) return false;
  simple_key_allowed_ = true;
  const Mark start = in_.mark();
  in_.skip_ascii(1);

  Chomping chomping = Chomping::Clip;
  long increment = 0;
  unsigned c = in_.peek();
  for (int i = 0; i < 2; ++i) {
    if ((c == '+' || c == '-') && chomping == Chomping::Clip) {
      chomping = c == '+' ? Chomping::Keep : Chomping::Strip;
    } else if (is_digit(c) && increment == 0) {
      if (c == '0') return fail("while scanning a block scalar, found an indentation indicator equal to 0", in_.mark());
      increment = static_cast<long>(c - '0');
    } else {
      break;
    }
    in_.skip_ascii(1);
    c = in_.peek();
  }
  bool blanks = false;
  while (is_blank(in_.peek())) {
    in_.skip_ascii(1);
    blanks = true;
  }
  if (in_.peek() == '#') {
    if (!blanks) return fail("comments must be separated from other tokens by whitespace", in_.mark());
    if (!scan_comment()) return false;
  }
  c = in_.peek();
  if (!is_break(c) && !(c == 0 && in_.at_end())) {
    return fail("while scanning a block scalar, did not find expected comment or line break", in_.mark());
  }
  if (is_break(c)) in_.skip_break();
  Mark end = in_.mark();

  const bool whole = !in_.incremental();
  long indent = 0;
  const bool detect = increment == 0;
  if (!detect) indent = indent_ >= 0 ? indent_ + increment : increment;
  TextBuilder text(arena_, whole);
  std::size_t trailing = 0;
  long max_empty = 0;
  Mark line_start = in_.mark();
  if (!scan_block_breaks(indent, trailing, line_start, detect, max_empty)) return false;

  bool leading_break = false;
  const char* leading_break_at = nullptr;  // the '\n' byte in a whole text, to keep a view
  bool leading_blank = false;
  auto put_break = [&] {
    if (leading_break_at != nullptr) {
      text.append(leading_break_at, 1);
    } else {
      text.push('\n');
    }
  };
  while (static_cast<long>(in_.column()) == indent && !(in_.peek() == 0 && in_.at_end())) {
    if (in_.column() == 0 && is_document_marker()) break;
    const bool trailing_blank = is_blank(in_.peek());
    if (!literal && leading_break && !leading_blank && !trailing_blank) {
      if (trailing == 0) text.push(' ');
    } else if (leading_break) {
      put_break();
    }
    leading_break = false;
    text.push_n('\n', trailing);
    trailing = 0;
    leading_blank = is_blank(in_.peek());
    for (;;) {
      const char* p = in_.cur();
      const std::size_t n = run_length<0x0D>(p, in_.lim());
      if (n != 0) {
        text.append(p, n);
        in_.skip(n);
      }
      c = in_.peek();
      if (is_break(c) || (c == 0 && in_.at_end())) break;
      if (n == 0 || c < 0x20) {
        text.append(in_.cur(), 1);
        in_.skip(1);
      }
    }
    end = in_.mark();
    if (!is_break(in_.peek())) {
      // The last line of the input ends without a line break.
      leading_break_at = nullptr;
      leading_break = true;
      break;
    }
    leading_break_at = whole && in_.peek() == '\n' ? in_.cur() : nullptr;
    in_.skip_break();
    leading_break = true;
    end = in_.mark();
    if (!scan_block_breaks(indent, trailing, line_start, false, max_empty)) return false;
  }
  if (chomping != Chomping::Strip && leading_break) put_break();
  if (chomping == Chomping::Keep) {
    text.push_n('\n', trailing);
    if (trailing != 0) end = line_start;
  }
  content_on_line_ = false;
  Token& token = push_token(TokenType::Scalar, start, end);
  token.style = literal ? ScalarStyle::Literal : ScalarStyle::Folded;
  token.chomping = chomping;
  token.value = text.finish();
  return true;
}

bool Scanner::scan_escape(TextBuilder& text) {
  const unsigned c = in_.peek(1);
  std::size_t digits = 0;
  switch (c) {
    case '0': text.push('\0'); break;
    case 'a': text.push('\a'); break;
    case 'b': text.push('\b'); break;
    case 't':
    case '\t': text.push('\t'); break;
    case 'n': text.push('\n'); break;
    case 'v': text.push('\v'); break;
    case 'f': text.push('\f'); break;
    case 'r': text.push('\r'); break;
    case 'e': text.push('\x1B'); break;
    case ' ': text.push(' '); break;
    case '"': text.push('"'); break;
    case '/': text.push('/'); break;
    case '\\': text.push('\\'); break;
    case 'N': append_utf8(text, 0x85); break;
    case '_': append_utf8(text, 0xA0); break;
    case 'L': append_utf8(text, 0x2028); break;
    case 'P': append_utf8(text, 0x2029); break;
    case 'x': digits = 2; break;
    case 'u': digits = 4; break;
    case 'U': digits = 8; break;
    default:
      return fail("while parsing a quoted scalar, found unknown escape character", in_.mark());
  }
  if (digits == 0) {
    in_.skip_ascii(2);
    return true;
  }
  auto read_hex = [&](std::size_t at, std::size_t count, std::uint32_t& value) {
    value = 0;
    for (std::size_t i = 0; i < count; ++i) {
      const unsigned h = in_.peek(at + i);
      if (!is_hex(h)) return false;
      value = value * 16 + hex_value(h);
    }
    return true;
  };
  std::uint32_t cp = 0;
  if (!read_hex(2, digits, cp)) {
    return fail("while parsing a quoted scalar, did not find expected hexadecimal number", in_.mark());
  }
  std::size_t length = 2 + digits;
  if (digits == 4 && cp >= 0xD800 && cp <= 0xDBFF) {
    if (in_.peek(length) != '\\' || in_.peek(length + 1) != 'u') {
      return fail("while parsing a quoted scalar, found high surrogate without following low surrogate", in_.mark());
    }
    std::uint32_t low = 0;
    if (!read_hex(length + 2, 4, low)) {
      return fail("while parsing a quoted scalar, did not find expected hexadecimal number for low surrogate",
                  in_.mark());
    }
    if (low < 0xDC00 || low > 0xDFFF) return fail("while parsing a quoted scalar, found invalid low surrogate", in_.mark());
    cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
    length += 6;
  } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
    return fail("while parsing a quoted scalar, found unpaired low surrogate", in_.mark());
  }
  if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    return fail("while parsing a quoted scalar, found invalid Unicode character escape code", in_.mark());
  }
  append_utf8(text, cp);
  in_.skip_ascii(length);
  return true;
}

bool Scanner::fetch_flow_scalar(bool single) {
  if (!save_simple_key()) return false;
  simple_key_allowed_ = false;
  const bool whole = !in_.incremental();
  const Mark start = in_.mark();
  in_.skip_ascii(1);
  TextBuilder text(arena_, whole);

  // White space seen since the last content: kept as is when content follows
  // on the same line, folded when a line break intervenes.
  enum class Gap : std::uint8_t { None, Spaces, Fold } gap = Gap::None;
  const char* spaces_at = nullptr;
  std::size_t spaces_len = 0;
  std::size_t breaks = 0;
  bool escaped_break = false;
  auto flush = [&] {
    if (gap == Gap::Spaces) {
      if (whole) {
        text.append(spaces_at, spaces_len);
      } else {
        text.append(spaces_.data(), spaces_.size());
      }
    } else if (gap == Gap::Fold) {
      if (breaks == 1 && !escaped_break) {
        text.push(' ');
      } else {
        text.push_n('\n', breaks - 1);
      }
    }
    gap = Gap::None;
  };
  const unsigned quote = single ? '\'' : '"';

  for (;;) {
    const char* p = in_.cur();
    const std::size_t n = single ? run_length<0x20, '\''>(p, in_.lim()) : run_length<0x20, '"', '\\'>(p, in_.lim());
    if (n != 0) {
      flush();
      text.append(p, n);
      in_.skip(n);
    }
    const unsigned c = in_.peek();
    if (c == quote) {
      if (!single || in_.peek(1) != '\'') break;
      flush();
      text.append(in_.cur(), 1);
      in_.skip_ascii(2);
      continue;
    }
    if (c == ' ') {
      // One space between two words: content, without the line-folding work.
      const unsigned d = in_.peek(1);
      if (d != 0 && !is_blank(d) && !is_break(d)) {
        flush();
        text.append(in_.cur(), 1);
        in_.skip_ascii(1);
        continue;
      }
    }
    bool escaped = false;
    if (!single && c == '\\') {
      flush();
      if (!is_break(in_.peek(1))) {
        if (!scan_escape(text)) return false;
        continue;
      }
      in_.skip_ascii(1);
      escaped = true;
    } else if (!is_blank(c) && !is_break(c)) {
      if (c == 0 && in_.at_end()) return fail("unclosed quote", start);
      if (n == 0 || c < 0x20) {
        flush();
        text.append(in_.cur(), 1);
        in_.skip(1);
      }
      continue;
    }
    // White space and line breaks.
    std::size_t line_breaks = 0;
    spaces_.clear();
    spaces_at = in_.cur();
    spaces_len = 0;
    std::size_t line_spaces = 0;
    bool line_tab = false;
    for (;;) {
      const unsigned w = in_.peek();
      if (is_blank(w)) {
        if (line_breaks == 0 && !escaped) {
          if (whole) {
            ++spaces_len;
          } else {
            spaces_.push_back(static_cast<char>(w));
          }
        } else if (w == ' ' && !line_tab) {
          ++line_spaces;
        } else {
          line_tab = true;
        }
        in_.skip_ascii(1);
      } else if (is_break(w)) {
        ++line_breaks;
        in_.skip_break();
        line_spaces = 0;
        line_tab = false;
        if (in_.column() == 0 && is_document_marker()) {
          return fail("while scanning a quoted scalar, found unexpected document indicator", in_.mark());
        }
      } else {
        break;
      }
    }
    if (line_breaks == 0) {
      gap = Gap::Spaces;
      continue;
    }
    const unsigned w = in_.peek();
    if (w == 0 && in_.at_end()) return fail("unclosed quote", start);
    if (indent_ >= 0 && static_cast<long>(line_spaces) <= indent_) {
      return fail("invalid indentation in multiline quoted scalar", in_.mark());
    }
    gap = Gap::Fold;
    breaks = line_breaks;
    escaped_break = escaped;
  }
  flush();
  in_.skip_ascii(1);
  const Mark end = in_.mark();
  const unsigned c = in_.peek();
  if (!is_blankz(c) && c != ':' && !(in_flow() && (c == ',' || c == ']' || c == '}'))) {
    if (c == '#') return fail("comments must be separated from other tokens by whitespace", in_.mark());
    return fail(single ? "invalid trailing content after single-quoted scalar"
                       : "invalid trailing content after double-quoted scalar",
                in_.mark());
  }
  json_node_before_ = in_flow();
  return push_scalar(start, end, [&](Token& token) {
    token.style = single ? ScalarStyle::SingleQuoted : ScalarStyle::DoubleQuoted;
    token.value = text.finish();
  });
}

bool Scanner::fetch_plain_scalar() {
  if (!save_simple_key()) return false;
  simple_key_allowed_ = false;
  const bool whole = !in_.incremental();
  const bool flow = in_flow();
  const Mark start = in_.mark();
  Mark end = start;
  TextBuilder text(arena_, whole);
  const long indent = indent_ + 1;

  bool gap = false;
  bool leading_blanks = false;
  std::size_t breaks = 0;  // line breaks in the gap after the first
  const char* spaces_at = nullptr;
  std::size_t spaces_len = 0;
  auto flush = [&] {
    if (!gap) return;
    gap = false;
    if (leading_blanks) {
      if (breaks == 0) {
        text.push(' ');
      } else {
        text.push_n('\n', breaks);
      }
    } else if (whole) {
      text.append(spaces_at, spaces_len);
    } else {
      text.append(spaces_.data(), spaces_.size());
    }
  };

  for (;;) {
    if (gap) {
      if (in_.column() == 0 && is_document_marker()) break;
      if (in_.peek() == '#') break;
    }
    bool any = false;
    for (;;) {
      const char* p = in_.cur();
      bool non_ascii = false;
      const std::size_t n = flow ? run_length<0x20, ':', ',', '[', ']', '{', '}'>(p, in_.lim(), non_ascii)
                                 : run_length<0x20, ':'>(p, in_.lim(), non_ascii);
      if (n != 0) {
        flush();
        text.append(p, n);
        if (non_ascii) {
          in_.skip(n);
        } else {
          in_.skip_ascii(n);
        }
        any = true;
      }
      const unsigned c = in_.peek();
      if (c == ':') {
        const unsigned d = in_.peek(1);
        if (is_blankz(d) || (flow && is_flow_indicator(d))) break;
        flush();
        text.append(in_.cur(), 1);
        in_.skip_ascii(1);
        any = true;
        continue;
      }
      if (is_blankz(c) || (flow && is_flow_indicator(c))) break;
      if (c < 0x20) {
        flush();
        text.append(in_.cur(), 1);
        in_.skip_ascii(1);
        any = true;
      }
    }
    if (!any) break;
    unsigned c = in_.peek();
    if (c == ' ') {
      // One space between two words: content, without the line-folding work.
      const unsigned d = in_.peek(1);
      if (!is_blankz(d) && d != '#' && d != ':' && !(flow && is_flow_indicator(d))) {
        flush();
        text.append(in_.cur(), 1);
        in_.skip_ascii(1);
        continue;
      }
    }
    end = in_.mark();
    if (!is_blank(c) && !is_break(c)) break;

    leading_blanks = false;
    breaks = 0;
    spaces_.clear();
    spaces_at = in_.cur();
    spaces_len = 0;
    bool line_tab = false;
    for (;;) {
      c = in_.peek();
      if (c == ' ' && leading_blanks && !line_tab) {
        const std::size_t n = space_run(in_.cur(), in_.lim());
        line_indent_ += n;
        in_.skip_ascii(n);
        continue;
      }
      if (is_blank(c)) {
        if (leading_blanks && static_cast<long>(in_.column()) < indent && c == '\t') {
          std::size_t k = 1;
          while (is_blank(in_.peek(k))) ++k;
          const unsigned after = in_.peek(k);
          if (!is_break(after) && after != 0 && after != '#') {
            return fail("while scanning a plain scalar, found a tab", in_.mark());
          }
          line_tab = true;
          in_.skip_ascii(k);
          continue;
        }
        if (!leading_blanks) {
          if (whole) {
            ++spaces_len;
          } else {
            spaces_.push_back(static_cast<char>(c));
          }
        } else if (c == ' ' && !line_tab) {
          ++line_indent_;
        } else {
          line_tab = true;
        }
        in_.skip_ascii(1);
      } else if (is_break(c)) {
        if (leading_blanks) ++breaks;
        leading_blanks = true;
        in_.skip_break();
        line_indent_ = 0;
        line_tab = false;
      } else {
        break;
      }
    }
    gap = true;
    if (leading_blanks) {
      if (!flow && static_cast<long>(in_.column()) < indent) break;
      if (flow && indent_ >= 0 && static_cast<long>(in_.column()) <= indent_ && !(in_.peek() == 0 && in_.at_end())) {
        return fail("invalid indentation in flow construct", in_.mark());
      }
    }
  }
  if (gap) {
    space_before_token_ = true;
    if (leading_blanks) {
      simple_key_allowed_ = true;
      content_on_line_ = false;
    }
  }
  return push_scalar(start, end, [&](Token& token) {
    token.style = ScalarStyle::Plain;
    token.value = text.finish();
  });
}

}  // namespace velmo::events::detail
