#include "events/detail/scanner.hpp"

#include <algorithm>
#include <limits>

#include "events/detail/char_class.hpp"

namespace velmo::events::detail {

namespace {

constexpr std::uint64_t kNoToken = std::numeric_limits<std::uint64_t>::max();
// An implicit key must fit on one line and in this many characters.
constexpr std::size_t kMaxSimpleKeyLength = 1024;

void append_utf8(TextBuilder& text, std::uint32_t cp) {
  if (cp < 0x80) {
    text.push(static_cast<char>(cp));
  } else if (cp < 0x800) {
    text.push(static_cast<char>(0xC0 | (cp >> 6)));
    text.push(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    text.push(static_cast<char>(0xE0 | (cp >> 12)));
    text.push(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    text.push(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    text.push(static_cast<char>(0xF0 | (cp >> 18)));
    text.push(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    text.push(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    text.push(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

}  // namespace

void Scanner::reset(std::string_view text, const ParserOptions& options) {
  in_.reset(text);
  reset_state(options);
}

void Scanner::reset(InputSource& source, const ParserOptions& options) {
  in_.reset(source, options.chunk_size);
  reset_state(options);
}

void Scanner::reset_state(const ParserOptions& options) {
  tokens_.clear();
  head_ = 0;
  token_available_ = false;
  tokens_parsed_ = 0;
  comments_.clear();
  comment_head_ = 0;
  comments_enabled_ = options.comments;
  max_nesting_ = options.max_nesting;
  stream_start_produced_ = false;
  stream_end_produced_ = false;
  indent_ = -1;
  indents_.clear();
  flow_level_ = 0;
  flow_kinds_.clear();
  simple_key_allowed_ = false;
  simple_keys_.assign(1, SimpleKey{});
  key_refs_.clear();
  key_refs_head_ = 0;
  content_on_line_ = false;
  tab_before_token_ = false;
  space_before_token_ = false;
  json_node_before_ = false;
  line_indent_ = 0;
  error_.reset();
  arena_.release_all();
}

void Scanner::release_text() {
  const bool tokens_left = head_ < tokens_.size();
  const bool comments_left = comment_head_ < comments_.size();
  if (!tokens_left && !comments_left) {
    arena_.release_all();
    return;
  }
  if (arena_.blocks() < 2) return;
  std::uint64_t live = kNoToken;
  if (tokens_left) live = tokens_[head_].arena_seq;
  if (comments_left) live = std::min(live, comments_[comment_head_].arena_seq);
  arena_.release_before(live);
}

// ---------------------------------------------------------------------------
// Token queue

Token& Scanner::push_token(TokenType type, const Mark& start, const Mark& end) {
  return tokens_.emplace_back(type, start, end, arena_.current_seq());
}

Token& Scanner::insert_token(std::uint64_t number, TokenType type, const Mark& start, const Mark& end) {
  const std::size_t pos = head_ + static_cast<std::size_t>(number - tokens_parsed_);
  const std::uint64_t seq = pos < tokens_.size() ? tokens_[pos].arena_seq : arena_.current_seq();
  for (std::size_t i = comment_head_; i < comments_.size(); ++i) {
    if (comments_[i].before_token > number) ++comments_[i].before_token;
  }
  return *tokens_.emplace(tokens_.begin() + static_cast<std::ptrdiff_t>(pos), type, start, end, seq);
}

bool Scanner::fetch_more_tokens() {
  for (;;) {
    // More tokens are needed while the head token may still turn out to
    // start a simple key (a KEY token would then go before it).
    if (head_ != tokens_.size()) {
      bool need = false;
      while (key_refs_head_ < key_refs_.size()) {
        const KeyRef ref = key_refs_[key_refs_head_];
        if (key_valid(ref)) {
          SimpleKey& key = simple_keys_[ref.level];
          if (!is_stale(key, ref.level)) {
            need = ref.token_number == tokens_parsed_;
            break;
          }
          if (key.required) return fail("simple key expected ':'", key.mark);
          key.possible = false;
        }
        ++key_refs_head_;
      }
      if (key_refs_head_ == key_refs_.size()) {
        key_refs_.clear();
        key_refs_head_ = 0;
      } else if (key_refs_head_ >= 64) {
        key_refs_.erase(key_refs_.begin(), key_refs_.begin() + static_cast<std::ptrdiff_t>(key_refs_head_));
        key_refs_head_ = 0;
      }
      if (!need) break;
    }
    if (stream_end_produced_) return fail("unexpected eof", in_.mark());
    if (!fetch_next_token()) return false;
  }
  token_available_ = true;
  return true;
}

// ---------------------------------------------------------------------------
// Simple keys and indentation

// A key can no longer be completed once the scanner has left its line (in
// block context and flow sequences) or gone too far past it.
bool Scanner::is_stale(const SimpleKey& key, std::size_t level) const {
  if (in_.index() > key.mark.index + kMaxSimpleKeyLength) return true;
  if (key.mark.line == in_.line()) return false;
  const bool multiline_ok = level > 0 && flow_kinds_[level - 1] == '{';
  return !multiline_ok;
}

bool Scanner::save_simple_key() {
  if (!simple_key_allowed_) return true;
  const bool required = !in_flow() && indent_ == static_cast<long>(in_.column());
  if (!remove_simple_key()) return false;
  SimpleKey& key = simple_keys_.back();
  key.possible = true;
  key.required = required;
  key.tab_before = tab_before_token_;
  key.token_number = tokens_parsed_ + (tokens_.size() - head_);
  key.mark = in_.mark();
  key_refs_.push_back(KeyRef{flow_level_, key.token_number});
  return true;
}

bool Scanner::remove_simple_key() {
  SimpleKey& key = simple_keys_.back();
  if (key.possible && key.required) return fail("simple key expected ':'", key.mark);
  key.possible = false;
  return true;
}

bool Scanner::roll_indent(std::size_t column, std::uint64_t number, TokenType type, const Mark& mark,
                          bool tab_before) {
  if (in_flow()) return true;
  if (indent_ >= static_cast<long>(column)) return true;
  if (tab_before) return fail("tabs disallowed within this context (block indentation)", mark);
  if (indents_.size() >= max_nesting_) return fail("recursion limit exceeded", mark);
  indents_.push_back(indent_);
  indent_ = static_cast<long>(column);
  if (number == kNoToken) {
    push_token(type, mark, mark);
  } else {
    insert_token(number, type, mark, mark);
  }
  return true;
}

void Scanner::unroll_indent(long column) {
  if (in_flow()) return;
  while (indent_ > column) {
    const Mark mark = in_.mark();
    push_token(TokenType::BlockEnd, mark, mark);
    indent_ = indents_.back();
    indents_.pop_back();
  }
}

// ---------------------------------------------------------------------------
// Dispatch

bool Scanner::is_document_marker() {
  const unsigned c = in_.peek();
  return (c == '-' || c == '.') && in_.peek(1) == c && in_.peek(2) == c && is_blankz(in_.peek(3));
}

bool Scanner::fetch_next_token() {
  if (!stream_start_produced_) {
    stream_start_produced_ = true;
    simple_key_allowed_ = true;
    if (in_.peek() == 0xEF && in_.peek(1) == 0xBB && in_.peek(2) == 0xBF) in_.skip(3);
    const Mark mark = in_.mark();
    push_token(TokenType::StreamStart, mark, mark);
    return true;
  }
  if (!scan_to_next_token()) return false;
  const std::size_t column = in_.column();
  unroll_indent(static_cast<long>(column));

  const unsigned c = in_.peek();
  if (c == 0 && in_.at_end()) return fetch_stream_end();
  const bool first_on_line = !content_on_line_;
  content_on_line_ = true;
  const bool after_json_node = json_node_before_;
  json_node_before_ = false;

  if (column == 0) {
    if (c == '%') return fetch_directive();
    if (is_document_marker()) {
      return fetch_document_indicator(c == '-' ? TokenType::DocumentStart : TokenType::DocumentEnd);
    }
  }
  if (in_flow() && first_on_line && static_cast<long>(line_indent_) <= indent_) {
    return fail("invalid indentation in flow construct", in_.mark());
  }

  const unsigned next = in_.peek(1);
  switch (c) {
    case '[': return fetch_flow_collection_start(TokenType::FlowSequenceStart);
    case '{': return fetch_flow_collection_start(TokenType::FlowMappingStart);
    case ']': return fetch_flow_collection_end(TokenType::FlowSequenceEnd);
    case '}': return fetch_flow_collection_end(TokenType::FlowMappingEnd);
    case ',': return fetch_flow_entry();
    case '*': return fetch_anchor(TokenType::Alias);
    case '&': return fetch_anchor(TokenType::Anchor);
    case '!': return fetch_tag();
    case '\'': return fetch_flow_scalar(true);
    case '"': return fetch_flow_scalar(false);
    case '|':
    case '>':
      if (!in_flow()) return fetch_block_scalar(c == '|');
      break;
    case '-':
      if (is_blankz(next)) return fetch_block_entry();
      if (in_flow() && is_flow_indicator(next)) {
        return fail("plain scalar cannot start with '-' followed by ,[]{}", in_.mark());
      }
      return fetch_plain_scalar();
    case '?':
      if (is_blankz(next)) return fetch_key();
      if (in_flow() && is_flow_indicator(next)) break;
      return fetch_plain_scalar();
    case ':':
      if (is_blankz(next) || (in_flow() && (is_flow_indicator(next) || after_json_node))) {
        return fetch_value();
      }
      if (in_flow() && is_flow_indicator(next)) break;
      return fetch_plain_scalar();
    case '#':
      return fail("comments must be separated from other tokens by whitespace", in_.mark());
    case '%':
    case '@':
    case '`':
      break;
    default:
      if (c > 0x20) return fetch_plain_scalar();  // control characters cannot start a token
      break;
  }
  std::string shown(1, static_cast<char>(c));
  if (c >= 0xC0) {
    const std::size_t len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
    for (std::size_t i = 1; i < len; ++i) shown.push_back(static_cast<char>(in_.peek(i)));
  }
  return fail("unexpected character: `" + shown + "'", in_.mark());
}

bool Scanner::scan_to_next_token() {
  tab_before_token_ = false;
  bool separated = !content_on_line_ || space_before_token_;
  space_before_token_ = false;
  for (;;) {
    for (;;) {
      const unsigned c = in_.peek();
      if (c == ' ') {
        const std::size_t n = space_run(in_.cur(), in_.lim());
        if (!content_on_line_ && !tab_before_token_) line_indent_ += n;
        in_.skip_ascii(n);
        separated = true;
      } else if (c == '\t') {
        if (!in_flow() && !content_on_line_) {
          // A tab at the start of a line may only precede a comment, a
          // blank line, or content indented past the current block.
          std::size_t k = 1;
          while (is_blank(in_.peek(k))) ++k;
          const unsigned after = in_.peek(k);
          if (after != '#' && !is_break(after) && after != 0 && static_cast<long>(in_.column()) <= indent_) {
            return fail("tab cannot be used as indentation", in_.mark());
          }
          // The whole run is checked: pass it at once (one look per run, not per tab).
          tab_before_token_ = true;
          separated = true;
          in_.skip_ascii(k);
          continue;
        }
        tab_before_token_ = true;
        separated = true;
        in_.skip_ascii(1);
      } else if (c == 0xEF && in_.peek(1) == 0xBB && in_.peek(2) == 0xBF && !content_on_line_) {
        in_.skip(3);
      } else {
        break;
      }
    }
    unsigned c = in_.peek();
    if (c == '#') {
      if (!separated) return fail("comments must be separated from other tokens by whitespace", in_.mark());
      if (!scan_comment()) return false;
      c = in_.peek();
    }
    if (!is_break(c)) return true;
    in_.skip_break();
    if (!in_flow()) simple_key_allowed_ = true;
    content_on_line_ = false;
    line_indent_ = 0;
    tab_before_token_ = false;
    separated = true;
  }
}

bool Scanner::scan_comment() {
  const Mark start = in_.mark();
  in_.skip_ascii(1);
  TextBuilder text(arena_, !in_.incremental());
  for (;;) {
    const char* p = in_.cur();
    const std::size_t n = run_length<0x0D>(p, in_.lim());
    if (n != 0) {
      if (comments_enabled_) text.append(p, n);
      in_.skip(n);
    }
    const unsigned c = in_.peek();
    if (is_break(c) || (c == 0 && in_.at_end())) break;
    if (n == 0 || c < 0x20) {
      // a tab or another control character inside the comment
      if (comments_enabled_) text.append(in_.cur(), 1);
      in_.skip(1);
    }
  }
  if (comments_enabled_) {
    CommentToken& comment = comments_.emplace_back();
    comment.text = text.finish();
    comment.inline_comment = content_on_line_;
    comment.before_token = tokens_parsed_ + (tokens_.size() - head_);
    comment.arena_seq = arena_.current_seq();
    comment.start = start;
    comment.end = in_.mark();
  }
  return true;
}

// ---------------------------------------------------------------------------
// Indicators

bool Scanner::fetch_stream_end() {
  if (in_.column() != 0) content_on_line_ = false;
  unroll_indent(-1);
  // No key can be completed any more, at any flow level.
  for (SimpleKey& key : simple_keys_) {
    if (key.possible && key.required) return fail("simple key expected ':'", key.mark);
    key.possible = false;
  }
  simple_key_allowed_ = false;
  const Mark mark = in_.mark();
  push_token(TokenType::StreamEnd, mark, mark);
  stream_end_produced_ = true;
  return true;
}

bool Scanner::scan_directive_trailer() {
  bool blanks = false;
  while (is_blank(in_.peek())) {
    in_.skip_ascii(1);
    blanks = true;
  }
  if (in_.peek() == '#') {
    if (!blanks) return fail("comments must be separated from other tokens by whitespace", in_.mark());
    if (!scan_comment()) return false;
  }
  const unsigned c = in_.peek();
  if (!is_break(c) && !(c == 0 && in_.at_end())) {
    return fail("while scanning a directive, did not find expected comment or line break", in_.mark());
  }
  return true;
}

bool Scanner::fetch_directive() {
  unroll_indent(-1);
  if (!remove_simple_key()) return false;
  simple_key_allowed_ = false;
  const Mark start = in_.mark();
  in_.skip_ascii(1);
  std::size_t len = 0;
  while (is_word(in_.peek(len))) ++len;
  if (len == 0) return fail("while scanning a directive, could not find expected directive name", start);
  if (!is_blankz(in_.peek(len))) {
    return fail("while scanning a directive, found unexpected non-alphabetical character", in_.mark());
  }
  const std::string_view name(in_.cur(), len);
  const bool is_yaml = name == "YAML";
  const bool is_tag = name == "TAG";
  in_.skip_ascii(len);

  if (is_yaml) {
    while (is_blank(in_.peek())) in_.skip_ascii(1);
    std::uint32_t numbers[2] = {0, 0};
    for (int part = 0; part < 2; ++part) {
      if (part == 1) {
        if (in_.peek() != '.') {
          return fail("while scanning a YAML directive, did not find expected digit or '.' character", in_.mark());
        }
        in_.skip_ascii(1);
      }
      std::size_t digits = 0;
      while (is_digit(in_.peek())) {
        if (++digits > 9) return fail("while scanning a YAML directive, found extremely long version number", start);
        numbers[part] = numbers[part] * 10 + (in_.peek() - '0');
        in_.skip_ascii(1);
      }
      if (digits == 0) return fail("while scanning a YAML directive, did not find expected version number", in_.mark());
    }
    if (!is_blankz(in_.peek())) {
      return fail("while scanning a YAML directive, did not find expected digit or '.' character", in_.mark());
    }
    if (numbers[0] != 1) return fail("unsupported YAML major version", start);
    const Mark end = in_.mark();
    if (!scan_directive_trailer()) return false;
    Token& token = push_token(TokenType::VersionDirective, start, end);
    token.major = numbers[0];
    token.minor = numbers[1];
    return true;
  }

  if (is_tag) {
    while (is_blank(in_.peek())) in_.skip_ascii(1);
    std::string_view handle;
    if (!scan_tag_handle(true, handle, start)) return false;
    if (!is_blank(in_.peek())) return fail("while scanning TAG, did not find expected whitespace or line break", in_.mark());
    while (is_blank(in_.peek())) in_.skip_ascii(1);
    TextBuilder prefix(arena_, !in_.incremental());
    if (!scan_tag_uri(false, prefix)) return false;
    if (prefix.empty()) return fail("while parsing a tag, did not find expected tag URI", in_.mark());
    if (!is_blankz(in_.peek())) return fail("while scanning TAG, did not find expected whitespace or line break", in_.mark());
    const Mark end = in_.mark();
    const std::string_view prefix_text = prefix.finish();
    if (!scan_directive_trailer()) return false;
    Token& token = push_token(TokenType::TagDirective, start, end);
    token.value = handle;
    token.extra = prefix_text;
    return true;
  }

  // Reserved directives are ignored.
  for (;;) {
    const unsigned c = in_.peek();
    if (is_break(c) || (c == 0 && in_.at_end())) break;
    in_.skip(1);
  }
  return true;
}

bool Scanner::fetch_document_indicator(TokenType type) {
  unroll_indent(-1);
  if (!remove_simple_key()) return false;
  simple_key_allowed_ = false;
  const Mark start = in_.mark();
  in_.skip_ascii(3);
  const Mark end = in_.mark();
  if (type == TokenType::DocumentEnd) {
    std::size_t k = 0;
    while (is_blank(in_.peek(k))) ++k;
    const unsigned c = in_.peek(k);
    if (!is_break(c) && c != 0 && !(c == '#' && k > 0)) {
      return fail("invalid content after document end marker", end);
    }
  }
  push_token(type, start, end);
  return true;
}

bool Scanner::fetch_flow_collection_start(TokenType type) {
  if (!save_simple_key()) return false;
  if (flow_level_ >= max_nesting_) return fail("recursion limit exceeded", in_.mark());
  ++flow_level_;
  simple_keys_.emplace_back();
  flow_kinds_.push_back(type == TokenType::FlowSequenceStart ? '[' : '{');
  simple_key_allowed_ = true;
  const Mark start = in_.mark();
  in_.skip_ascii(1);
  push_token(type, start, in_.mark());
  return true;
}

bool Scanner::fetch_flow_collection_end(TokenType type) {
  if (!remove_simple_key()) return false;
  if (flow_level_ > 0) {
    --flow_level_;
    simple_keys_.pop_back();
    flow_kinds_.pop_back();
  }
  simple_key_allowed_ = false;
  const Mark start = in_.mark();
  in_.skip_ascii(1);
  push_token(type, start, in_.mark());
  json_node_before_ = true;
  return true;
}

bool Scanner::fetch_flow_entry() {
  if (!remove_simple_key()) return false;
  simple_key_allowed_ = true;
  const Mark start = in_.mark();
  in_.skip_ascii(1);
  push_token(TokenType::FlowEntry, start, in_.mark());
  return true;
}

bool Scanner::fetch_block_entry() {
  const Mark start = in_.mark();
  if (in_flow()) return fail("block sequence entries are not allowed in this context", start);
  if (!simple_key_allowed_) return fail("block sequence entries are not allowed in this context", start);
  if (!roll_indent(in_.column(), kNoToken, TokenType::BlockSequenceStart, start, tab_before_token_)) return false;
  if (!remove_simple_key()) return false;
  simple_key_allowed_ = true;
  in_.skip_ascii(1);
  push_token(TokenType::BlockEntry, start, in_.mark());
  return true;
}

bool Scanner::fetch_key() {
  const Mark start = in_.mark();
  if (!in_flow()) {
    if (!simple_key_allowed_) return fail("mapping keys are not allowed in this context", start);
    if (!roll_indent(in_.column(), kNoToken, TokenType::BlockMappingStart, start, tab_before_token_)) return false;
  }
  if (!remove_simple_key()) return false;
  simple_key_allowed_ = !in_flow();
  in_.skip_ascii(1);
  push_token(TokenType::Key, start, in_.mark());
  return true;
}

bool Scanner::fetch_value() {
  const Mark start = in_.mark();
  SimpleKey& key = simple_keys_.back();
  if (key.possible && is_stale(key, flow_level_)) {
    if (key.required) return fail("simple key expected ':'", key.mark);
    key.possible = false;
  }
  if (key.possible) {
    const SimpleKey saved = key;
    key.possible = false;
    insert_token(saved.token_number, TokenType::Key, saved.mark, saved.mark);
    if (!roll_indent(saved.mark.column, saved.token_number, TokenType::BlockMappingStart, saved.mark,
                     saved.tab_before)) {
      return false;
    }
    // A simple key cannot follow another simple key on the same line.
    simple_key_allowed_ = false;
  } else {
    if (!in_flow()) {
      if (!simple_key_allowed_) return fail("mapping values are not allowed in this context", start);
      if (!roll_indent(in_.column(), kNoToken, TokenType::BlockMappingStart, start, tab_before_token_)) return false;
    }
    simple_key_allowed_ = !in_flow();
  }
  in_.skip_ascii(1);
  push_token(TokenType::Value, start, in_.mark());
  return true;
}

// ---------------------------------------------------------------------------
// Anchors, aliases and tags

bool Scanner::fetch_anchor(TokenType type) {
  if (!save_simple_key()) return false;
  simple_key_allowed_ = false;
  const Mark start = in_.mark();
  in_.skip_ascii(1);
  TextBuilder name(arena_, !in_.incremental());
  for (;;) {
    const char* p = in_.cur();
    const std::size_t n = run_length<0x20, ',', '[', ']', '{', '}'>(p, in_.lim());
    if (n != 0) {
      name.append(p, n);
      in_.skip(n);
    }
    const unsigned c = in_.peek();
    if (is_blankz(c) || is_flow_indicator(c)) break;
    if (n == 0 && c < 0x20) {
      name.append(in_.cur(), 1);
      in_.skip_ascii(1);
    }
  }
  if (name.empty()) {
    return fail("while scanning an anchor or alias, did not find expected alphabetic or numeric character", start);
  }
  Token& token = push_token(type, start, in_.mark());
  token.value = name.finish();
  return true;
}

bool Scanner::scan_tag_handle(bool directive, std::string_view& handle, const Mark& start) {
  if (in_.peek() != '!') {
    return fail(directive ? "while parsing a tag directive, did not find expected '!'"
                          : "while scanning a tag, did not find expected '!'",
                start);
  }
  std::size_t len = 1;
  while (is_word(in_.peek(len))) ++len;
  if (in_.peek(len) == '!') {
    ++len;
  } else if (len != 1) {
    return fail("while parsing a tag directive, did not find expected '!'", in_.mark());
  }
  TextBuilder text(arena_, !in_.incremental());
  text.append(in_.cur(), len);
  in_.skip_ascii(len);
  handle = text.finish();
  return true;
}

bool Scanner::scan_tag_uri(bool shorthand, TextBuilder& text) {
  for (;;) {
    const unsigned c = in_.peek();
    if (c == '%' && shorthand) {
      if (!is_hex(in_.peek(1)) || !is_hex(in_.peek(2))) {
        return fail("while parsing a tag, found an invalid escape sequence", in_.mark());
      }
      text.push(static_cast<char>(hex_value(in_.peek(1)) * 16 + hex_value(in_.peek(2))));
      in_.skip_ascii(3);
    } else if (is_uri_char(c, shorthand) || c == '%') {
      text.append(in_.cur(), 1);
      in_.skip_ascii(1);
    } else {
      return true;
    }
  }
}

bool Scanner::fetch_tag() {
  if (!save_simple_key()) return false;
  simple_key_allowed_ = false;
  const Mark start = in_.mark();
  std::string_view handle;
  std::string_view suffix;
  if (in_.peek(1) == '<') {
    in_.skip_ascii(2);
    TextBuilder text(arena_, !in_.incremental());
    if (!scan_tag_uri(false, text)) return false;
    if (in_.peek() != '>') return fail("while scanning a verbatim tag, did not find the expected '>'", in_.mark());
    if (text.empty()) return fail("while parsing a tag, did not find expected tag URI", in_.mark());
    in_.skip_ascii(1);
    suffix = text.finish();
  } else {
    std::size_t len = 1;
    while (is_word(in_.peek(len))) ++len;
    if (in_.peek(len) == '!') {
      if (!scan_tag_handle(false, handle, start)) return false;
    } else {
      handle = "!";
      in_.skip_ascii(1);
    }
    TextBuilder text(arena_, !in_.incremental());
    if (!scan_tag_uri(true, text)) return false;
    if (text.empty() && handle != "!") return fail("while parsing a tag, did not find expected tag URI", in_.mark());
    suffix = text.finish();
  }
  const unsigned c = in_.peek();
  if (!is_blankz(c) && !(in_flow() && is_flow_indicator(c))) {
    return fail("while scanning a tag, did not find expected whitespace or line break", in_.mark());
  }
  Token& token = push_token(TokenType::Tag, start, in_.mark());
  token.value = suffix;
  token.extra = handle;
  return true;
}

// ---------------------------------------------------------------------------
// Scalars

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
  Token& token = push_token(TokenType::Scalar, start, end);
  token.style = single ? ScalarStyle::SingleQuoted : ScalarStyle::DoubleQuoted;
  token.value = text.finish();
  return true;
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
      const std::size_t n = flow ? run_length<0x20, ':', ',', '[', ']', '{', '}'>(p, in_.lim())
                                 : run_length<0x20, ':'>(p, in_.lim());
      if (n != 0) {
        flush();
        text.append(p, n);
        in_.skip(n);
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
  Token& token = push_token(TokenType::Scalar, start, end);
  token.style = ScalarStyle::Plain;
  token.value = text.finish();
  return true;
}

}  // namespace velmo::events::detail
