// A fast path for the plainest block YAML, for loaders: they try it first and fall back to the full event
// parser when it gives up.
//
// It takes documents (the first may be implicit, the others start with a "---" line) whose roots are block
// mappings or sequences at column 0, made of block mappings and sequences (indentless ones too), one-line plain
// and quoted scalars, literal and folded block scalars with a bare header, one-line flow sequences of such
// scalars, empty flow collections, and comments. Anything else (tabs, carriage returns, control characters,
// anchors, tags, aliases, directives, "..." or content after "---", empty documents, multi-line plain or quoted
// scalars, rare escapes, block scalars with indentation indicators or "+", explicit keys, nested flow
// collections, a malformed line, ...) makes it give up: `parse_plain_block` then returns false, and the events
// it already handed out must be dropped.
//
// Where it accepts a text it hands out exactly the events the full parser gives with comment events on, in
// the same order, with the same texts, styles and byte offsets. Only the byte offsets of the marks are set
// (characters, lines and columns are left at their defaults): a tree builder needs no more. Scalar texts are
// views of the input, except decoded ones (block scalars, escapes), which are valid until the next event.
//
// It gives up rather than decide anything the full parser might decide differently, so it needs no error
// messages: every failure, and every rare form, is the full parser's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "events/event.hpp"
#include "text/unicode.hpp"

namespace velmo::events {

namespace detail {

template <class Handler>
class PlainBlockParser {
 public:
  PlainBlockParser(std::string_view text, Handler& handler, bool comments)
      : begin_(text.data()), end_(text.data() + text.size()), p_(begin_), handler_(handler), comments_(comments) {}

  bool run() {
    emit_mark(EventType::StreamStart, 0);
    if (is_bom(begin_)) return false;
    bool in_document = false;  // a document was started and not yet ended
    while (p_ != end_) {
      const char* line = p_;
      while (p_ != end_ && *p_ == ' ') ++p_;
      if (p_ == end_) break;
      const unsigned char c = static_cast<unsigned char>(*p_);
      if (c == '\n') {
        ++p_;
        continue;
      }
      if (c == '#') {
        if (!comment(false)) return false;
        continue;
      }
      const std::size_t indent = static_cast<std::size_t>(p_ - line);
      if (indent == 0 && is_document_marker()) {
        if (!document_start(in_document)) return false;
        in_document = true;
        continue;
      }
      if (!in_document) {
        emit_document(EventType::DocumentStart, offset(p_));
        in_document = true;
      }
      line_ = line;
      if (!content_line(indent)) return false;
    }
    // A stream or document without content: the full parser decides what it holds.
    if (!in_document || !root_opened_) return false;
    end_document(offset(end_));
    emit_mark(EventType::StreamEnd, offset(end_));
    return true;
  }

 private:
  // An open block collection: its column, and for a sequence whether it is indentless (a mapping value whose
  // "-" entries stand at the mapping's own column).
  struct Frame {
    std::size_t column;
    bool mapping;
    bool indentless;
  };
  struct Scalar {
    const char* start;
    const char* end;
    std::string_view value;
    ScalarStyle style;
  };

  // Deeper nesting is left to the full parser, which enforces its own limit.
  static constexpr std::size_t kMaxFrames = 1000;
  // An implicit key must end within this many characters of its start. Bytes are counted instead: never fewer
  // than the characters, so a key the count lets through is short enough.
  static constexpr std::size_t kMaxKeyBytes = 1024;

  std::size_t offset(const char* at) const { return static_cast<std::size_t>(at - begin_); }
  unsigned char at(const char* q) const { return q < end_ ? static_cast<unsigned char>(*q) : 0; }
  bool ends_word(const char* q) const { return q == end_ || *q == ' ' || *q == '\n'; }
  bool is_bom(const char* q) const { return at(q) == 0xEF && at(q + 1) == 0xBB && at(q + 2) == 0xBF; }
  bool is_document_marker() const {
    return end_ - p_ >= 3 && (std::memcmp(p_, "---", 3) == 0 || std::memcmp(p_, "...", 3) == 0) &&
           (p_ + 3 == end_ || p_[3] == ' ' || p_[3] == '\n' || p_[3] == '\t' || p_[3] == '\r');
  }

  // Events. Only byte offsets are set; every other field is reset or rewritten each time.
  void send(EventType type, std::size_t start, std::size_t end) {
    event_.type = type;
    event_.start.offset = start;
    event_.end.offset = end;
    handler_(static_cast<const Event&>(event_));
    event_.style = ScalarStyle::Plain;
    event_.chomping = Chomping::Clip;
    event_.implicit = false;
    event_.flow = false;
    event_.inline_comment = false;
    event_.value = {};
  }
  void emit_mark(EventType type, std::size_t at) { send(type, at, at); }
  void emit_document(EventType type, std::size_t at) {
    event_.implicit = true;
    send(type, at, at);
  }
  void emit_scalar(const Scalar& scalar, Chomping chomping = Chomping::Clip) {
    event_.value = scalar.value;
    event_.style = scalar.style;
    event_.chomping = chomping;
    send(EventType::Scalar, offset(scalar.start), offset(scalar.end));
  }
  void emit_empty_scalar() {
    pending_ = false;
    send(EventType::Scalar, pending_at_, pending_at_);
  }
  void open_frame(bool mapping, bool indentless, std::size_t column, std::size_t at) {
    frames_.push_back(Frame{column, mapping, indentless});
    send(mapping ? EventType::MappingStart : EventType::SequenceStart, at, at);
  }
  void close_frame(std::size_t at) {
    send(frames_.back().mapping ? EventType::MappingEnd : EventType::SequenceEnd, at, at);
    frames_.pop_back();
  }

  // A comment from '#' to the end of its line (and past its line break).
  bool comment(bool inline_comment) {
    const char* start = p_;
    const char* q = p_ + 1;
    while (q != end_ && *q != '\n') {
      if (static_cast<unsigned char>(*q) < 0x20) return false;
      ++q;
    }
    if (comments_) {
      event_.value = std::string_view(start + 1, static_cast<std::size_t>(q - start - 1));
      event_.inline_comment = inline_comment;
      send(EventType::Comment, offset(start), offset(q));
    }
    p_ = q == end_ ? q : q + 1;
    return true;
  }

  // Spaces, then an optional comment, then the end of the line (consumed).
  bool end_of_line() {
    const char* q = p_;
    while (q != end_ && *q == ' ') ++q;
    if (q == end_) {
      p_ = q;
      return true;
    }
    if (*q == '\n') {
      p_ = q + 1;
      return true;
    }
    if (*q != '#' || q == p_) return false;
    p_ = q;
    return comment(true);
  }

  // A "---" line alone (the "..." marker and content after "---" are left to the full parser): ends the open
  // document, if any, and starts the next.
  bool document_start(bool in_document) {
    if (*p_ != '-') return false;
    const char* q = p_ + 3;
    while (q != end_ && *q == ' ') ++q;
    if (q != end_ && *q != '\n') return false;
    const std::size_t at = offset(p_);
    if (in_document) {
      if (!root_opened_) return false;
      end_document(at);
    }
    send(EventType::DocumentStart, at, at + 3);
    root_opened_ = false;
    p_ = q == end_ ? q : q + 1;
    return true;
  }

  // The open document ends implicitly at `at`: its empty value, its open collections, then the document.
  void end_document(std::size_t at) {
    if (pending_) emit_empty_scalar();
    while (!frames_.empty()) close_frame(at);
    emit_document(EventType::DocumentEnd, at);
  }

  bool content_line(std::size_t indent) {
    const bool dash = *p_ == '-' && ends_word(p_ + 1);
    if (pending_) {
      const std::size_t parent = frames_.back().column;
      if (indent > parent) {
        pending_ = false;
        return open_block(indent, dash);
      }
      if (indent == parent && dash && pending_in_mapping_) {
        pending_ = false;
        if (frames_.size() >= kMaxFrames) return false;
        open_frame(false, true, indent, offset(p_));
        return sequence_entry(indent);
      }
      emit_empty_scalar();
    }
    const std::size_t here = offset(p_);
    while (!frames_.empty()) {
      const Frame& top = frames_.back();
      if (top.column > indent || (top.indentless && top.column == indent && !dash)) {
        close_frame(here);
      } else {
        break;
      }
    }
    if (frames_.empty()) {
      if (root_opened_ || indent != 0) return false;  // a second root, or an indented one
      root_opened_ = true;
      return open_block(indent, dash);
    }
    const Frame& top = frames_.back();
    if (top.column != indent || top.mapping == dash) return false;
    return dash ? sequence_entry(indent) : mapping_entry(indent);
  }

  bool open_block(std::size_t indent, bool dash) {
    if (frames_.size() >= kMaxFrames) return false;
    open_frame(!dash, false, indent, offset(p_));
    return dash ? sequence_entry(indent) : mapping_entry(indent);
  }

  bool mapping_entry(std::size_t column) {
    Scalar key;
    if (!scalar(key) || !is_key(key)) return false;
    emit_scalar(key);
    return after_indicator(column, true);
  }

  // After a scalar: spaces, then ':' ending a word makes it a key; leaves p_ past the ':'.
  bool is_key(const Scalar& scalar) {
    const char* q = p_;
    while (q != end_ && *q == ' ') ++q;
    if (q == end_ || *q != ':' || !ends_word(q + 1)) return false;
    if (offset(q) - offset(scalar.start) > kMaxKeyBytes) return false;
    p_ = q + 1;
    return true;
  }

  bool sequence_entry(std::size_t column) {
    ++p_;  // the '-'
    return after_indicator(column, false);
  }

  // The rest of a line after a mapping's ':' or a sequence's '-'; `parent` is the enclosing block's column.
  bool after_indicator(std::size_t parent, bool in_mapping) {
    const std::size_t indicator_end = offset(p_);
    while (p_ != end_ && *p_ == ' ') ++p_;
    if (p_ == end_ || *p_ == '\n' || *p_ == '#') {
      // The value is on later lines, or empty.
      pending_ = true;
      pending_in_mapping_ = in_mapping;
      pending_at_ = indicator_end;
      if (p_ == end_) return true;
      if (*p_ == '\n') {
        ++p_;
        return true;
      }
      return comment(true);
    }
    switch (*p_) {
      case '|': return block_scalar(parent, true);
      case '>': return block_scalar(parent, false);
      case '[': return flow_sequence();
      case '{': return empty_flow_mapping();
      default: break;
    }
    Scalar value;
    if (!scalar(value)) return false;
    const char* after = p_;
    if (is_key(value)) {
      // "- key: value": a mapping inside the sequence entry, at the key's column.
      if (in_mapping || frames_.size() >= kMaxFrames) return false;
      const std::size_t column = static_cast<std::size_t>(value.start - line_);
      open_frame(true, false, column, offset(value.start));
      emit_scalar(value);
      return after_indicator(column, true);
    }
    p_ = after;
    emit_scalar(value);
    return end_of_line();
  }

  // A one-line plain or quoted scalar at p_ (block context); p_ is left after it.
  bool scalar(Scalar& out) {
    const unsigned char c = at(p_);
    if (c == '"' || c == '\'') return quoted(out);
    return plain(out, false);
  }

  // A one-line plain scalar at p_, in block context or inside a flow sequence (`flow`); p_ is left after it.
  // Inside a flow sequence it must end at ',' or ']', and the rarer forms there are left to the full parser.
  bool plain(Scalar& out, bool flow) {
    const unsigned char c = at(p_);
    switch (c) {
      case '-':
      case '?':
      case ':':
        if (flow || ends_word(p_ + 1)) return false;
        break;
      case ',': case '[': case ']': case '{': case '}': case '#': case '&': case '*': case '!': case '|':
      case '>': case '%': case '@': case '`':
        return false;
      default:
        if (c < 0x21 || is_bom(p_)) return false;
        break;
    }
    const char* start = p_;
    const char* q = p_;
    const char* last = p_;  // past the last non-space character
    for (; q != end_; ++q) {
      const unsigned char d = static_cast<unsigned char>(*q);
      if (d == ' ') {
        if (q + 1 != end_ && q[1] == '#') {
          if (flow) return false;
          break;
        }
        continue;
      }
      if (flow) {
        if (d == ',' || d == ']') break;
        if (d == '[' || d == '{' || d == '}') return false;
        if (d == ':') {
          const unsigned char e = at(q + 1);
          if (ends_word(q + 1) || e == ',' || e == '[' || e == ']' || e == '{' || e == '}') return false;
        }
      } else {
        if (d == '\n') break;
        if (d == ':' && ends_word(q + 1)) break;
      }
      if (d < 0x20) return false;
      last = q + 1;
    }
    if (flow && q == end_) return false;
    out = Scalar{start, last, std::string_view(start, static_cast<std::size_t>(last - start)), ScalarStyle::Plain};
    p_ = last;
    return true;
  }

  // A quoted scalar closed on its own line. Its text is a view of the input, or, when it holds escapes (or a
  // doubled single quote), decoded into quoted_text_, valid until the next scalar is scanned.
  bool quoted(Scalar& out) {
    const char quote = *p_;
    const char* start = p_;
    const char* q = p_ + 1;
    const char* copied = q;  // input before this point is already in quoted_text_ (when decoding)
    bool decoded = false;
    for (;; ++q) {
      if (q == end_) return false;
      const unsigned char d = static_cast<unsigned char>(*q);
      if (d < 0x20) return false;
      if (d == static_cast<unsigned char>(quote)) {
        if (quote == '"' || at(q + 1) != '\'') break;
        // '' stands for one quote
        if (!decoded) quoted_text_.clear();
        decoded = true;
        quoted_text_.append(copied, static_cast<std::size_t>(q - copied) + 1);
        copied = ++q + 1;
        continue;
      }
      if (d == '\\' && quote == '"') {
        if (!decoded) quoted_text_.clear();
        decoded = true;
        quoted_text_.append(copied, static_cast<std::size_t>(q - copied));
        const char* after = escape(q);
        if (after == nullptr) return false;
        copied = after;
        q = after - 1;
      }
    }
    const unsigned char next = at(q + 1);
    if (q + 1 != end_ && next != ' ' && next != '\n' && next != ':' && next != ',' && next != ']') return false;
    std::string_view value(start + 1, static_cast<std::size_t>(q - start - 1));
    if (decoded) {
      quoted_text_.append(copied, static_cast<std::size_t>(q - copied));
      value = quoted_text_;
    }
    out = Scalar{start, q + 1, value, quote == '"' ? ScalarStyle::DoubleQuoted : ScalarStyle::SingleQuoted};
    p_ = q + 1;
    return true;
  }

  // Decodes the escape at `q` (a backslash) onto quoted_text_; returns where the input goes on, or null for an
  // escape left to the full parser (an unknown one, a line break, a surrogate).
  const char* escape(const char* q) {
    const unsigned char c = at(q + 1);
    std::size_t digits = 0;
    std::uint32_t cp = 0;
    switch (c) {
      case '0': cp = 0; break;
      case 'a': cp = '\a'; break;
      case 'b': cp = '\b'; break;
      case 't': cp = '\t'; break;
      case 'n': cp = '\n'; break;
      case 'v': cp = '\v'; break;
      case 'f': cp = '\f'; break;
      case 'r': cp = '\r'; break;
      case 'e': cp = 0x1B; break;
      case ' ': cp = ' '; break;
      case '"': cp = '"'; break;
      case '/': cp = '/'; break;
      case '\\': cp = '\\'; break;
      case 'N': cp = 0x85; break;
      case '_': cp = 0xA0; break;
      case 'L': cp = 0x2028; break;
      case 'P': cp = 0x2029; break;
      case 'x': digits = 2; break;
      case 'u': digits = 4; break;
      case 'U': digits = 8; break;
      default: return nullptr;
    }
    for (std::size_t k = 0; k < digits; ++k) {
      const unsigned char h = at(q + 2 + k);
      std::uint32_t v;
      if (h >= '0' && h <= '9') {
        v = h - '0';
      } else if ((h | 0x20) >= 'a' && (h | 0x20) <= 'f') {
        v = (h | 0x20) - 'a' + 10;
      } else {
        return nullptr;
      }
      cp = cp * 16 + v;
    }
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return nullptr;
    char bytes[4];
    quoted_text_.append(bytes, text::encode_utf8(cp, bytes));
    return q + 2 + digits;
  }

  // A flow sequence of scalars, closed on its own line.
  bool flow_sequence() {
    if (frames_.size() >= kMaxFrames) return false;
    const std::size_t open = offset(p_);
    event_.flow = true;
    send(EventType::SequenceStart, open, open + 1);
    ++p_;
    while (p_ != end_ && *p_ == ' ') ++p_;
    if (at(p_) != ']') {
      for (;;) {
        Scalar item;
        if (at(p_) == '"' || at(p_) == '\'') {
          if (!quoted(item)) return false;
        } else if (!plain(item, true)) {
          return false;
        }
        emit_scalar(item);
        while (p_ != end_ && *p_ == ' ') ++p_;
        if (at(p_) == ']') break;
        if (at(p_) != ',') return false;
        ++p_;
        while (p_ != end_ && *p_ == ' ') ++p_;
        if (at(p_) == ']' || at(p_) == ',') return false;
      }
    }
    const std::size_t close = offset(p_);
    send(EventType::SequenceEnd, close, close + 1);
    ++p_;
    return end_of_line();
  }

  bool empty_flow_mapping() {
    if (at(p_ + 1) != '}') return false;
    const std::size_t open = offset(p_);
    event_.flow = true;
    send(EventType::MappingStart, open, open + 1);
    send(EventType::MappingEnd, open + 1, open + 2);
    p_ += 2;
    return end_of_line();
  }

  // A literal or folded block scalar with a bare header ("|", "|-", ">" or ">-" then the line break) and at least
  // one content line, indented past `parent`, whose lines are content or empty (no line of spaces only).
  bool block_scalar(std::size_t parent, bool literal) {
    const char* start = p_;
    ++p_;
    Chomping chomping = Chomping::Clip;
    if (at(p_) == '-') {
      chomping = Chomping::Strip;
      ++p_;
    }
    if (at(p_) != '\n') return false;
    ++p_;
    std::size_t breaks = 0;  // empty lines since the last content line
    while (p_ != end_ && *p_ == '\n') {
      ++breaks;
      ++p_;
    }
    const char* first = p_;
    while (first != end_ && *first == ' ') ++first;
    if (first == end_ || *first == '\n') return false;
    const std::size_t indent = static_cast<std::size_t>(first - p_);
    if (indent <= parent) return false;
    text_.clear();
    bool line_break = false;  // the last content line ended with a break
    bool last_indented = false;  // the last content line started with a space past the indentation
    const char* end = p_;
    for (;;) {
      const char* q = p_;
      while (q != end_ && *q == ' ' && static_cast<std::size_t>(q - p_) < indent) ++q;
      if (q == end_) break;
      if (*q == '\n') {
        if (q != p_) return false;  // a line of spaces
        ++breaks;
        p_ = q + 1;
        continue;
      }
      if (static_cast<std::size_t>(q - p_) < indent) break;  // a less indented line ends the scalar
      const char* stop = q;
      while (stop != end_ && *stop != '\n') {
        if (static_cast<unsigned char>(*stop) < 0x20) return false;
        ++stop;
      }
      const bool indented = *q == ' ';
      if (line_break) {
        // Folding joins two lines that are not more indented with a space, unless empty lines stand between.
        if (literal || last_indented || indented) {
          text_.push_back('\n');
        } else if (breaks == 0) {
          text_.push_back(' ');
        }
      }
      last_indented = indented;
      text_.append(breaks, '\n');
      breaks = 0;
      text_.append(q, static_cast<std::size_t>(stop - q));
      line_break = true;  // a last line without a break still ends with one
      if (stop == end_) {
        p_ = end = stop;
        break;
      }
      p_ = end = stop + 1;
    }
    if (chomping != Chomping::Strip && line_break) text_.push_back('\n');
    emit_scalar(Scalar{start, end, text_, literal ? ScalarStyle::Literal : ScalarStyle::Folded}, chomping);
    // p_ is at the start of the line after the scalar (or the end of the input).
    return true;
  }

  const char* begin_;
  const char* end_;
  const char* p_;
  const char* line_ = nullptr;  // start of the current line
  Handler& handler_;
  bool comments_;
  bool root_opened_ = false;
  bool pending_ = false;  // a ':' or '-' waits for its value
  bool pending_in_mapping_ = false;
  std::size_t pending_at_ = 0;  // end of that indicator: where an empty value stands
  std::vector<Frame> frames_;
  std::string text_;         // the text of the last block scalar
  std::string quoted_text_;  // the decoded text of the last quoted scalar with escapes
  Event event_;
};

}  // namespace detail

// Hands the events of `text` to `handler(const Event&)` if the text lies within the plain block subset described
// above, and returns true; returns false as soon as it finds something outside it (the handler may have been
// given some events by then). `comments` asks for comment events, as the full parser's option does.
template <class Handler>
bool parse_plain_block(std::string_view text, Handler& handler, bool comments) {
  detail::PlainBlockParser<Handler> parser(text, handler, comments);
  return parser.run();
}

}  // namespace velmo::events
