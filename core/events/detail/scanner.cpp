// The tokenizer: the token queue, simple keys, indentation, indicators,
// directives, anchors and tags. Scalars are scanned in scalar_scanner.cpp.
#include "events/detail/scanner.hpp"

#include <algorithm>
#include <limits>

#include "events/detail/char_class.hpp"

namespace velmo::events::detail {

namespace {

constexpr std::uint64_t kNoToken = std::numeric_limits<std::uint64_t>::max();
// An implicit key must fit on one line and in this many characters.
constexpr std::size_t kMaxSimpleKeyLength = 1024;

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

Token& Scanner::insert_token(std::uint64_t number, TokenType type, const Mark& start, const Mark& end) {
  const std::size_t pos = head_ + static_cast<std::size_t>(number - tokens_parsed_);
  const std::uint64_t seq = pos < tokens_.size() ? tokens_[pos].arena_seq : arena_.current_seq();
  for (std::size_t i = comment_head_; i < comments_.size(); ++i) {
    if (comments_[i].before_token > number) ++comments_[i].before_token;
  }
  if (pos >= tokens_.size()) return tokens_.emplace_back(type, start, end, seq);
  // Shift the tail up by one and fill the gap field by field (no temporary token).
  tokens_.push_back(tokens_.back());
  std::copy_backward(tokens_.begin() + static_cast<std::ptrdiff_t>(pos), tokens_.end() - 2, tokens_.end() - 1);
  Token& token = tokens_[pos];
  token.type = type;
  token.style = ScalarStyle::Plain;
  token.chomping = Chomping::Clip;
  token.major = token.minor = 0;
  token.value = {};
  token.extra = {};
  token.arena_seq = seq;
  token.start = start;
  token.end = end;
  return token;
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

Scanner::ScalarKey Scanner::settle_scalar_key(std::size_t& spaces) {
  if (in_flow()) return ScalarKey::Undecided;
  SimpleKey& key = simple_keys_.back();
  // Only a key saved at this very scalar (not at an anchor or tag before it).
  if (!key.possible || key.token_number != tokens_parsed_ + (tokens_.size() - head_)) return ScalarKey::Undecided;
  ScalarKey settled = ScalarKey::NotKey;
  if (key.mark.line == in_.line()) {
    std::size_t k = 0;
    while (in_.peek(k) == ' ') ++k;
    const unsigned c = in_.peek(k);
    if (c == ':' && is_blankz(in_.peek(k + 1))) {
      if (in_.index() + k > key.mark.index + kMaxSimpleKeyLength) return ScalarKey::Undecided;
      spaces = k;
      settled = ScalarKey::Key;
    } else if (c != '#' && !is_break(c) && !(c == 0 && in_.at_end())) {
      // ('#' here always starts a comment: a scalar stops before it only after white space.)
      return ScalarKey::Undecided;
    }
  }
  // A key that would be required is left to the queue, which reports it where it always has.
  if (settled == ScalarKey::NotKey && key.required) return ScalarKey::Undecided;
  key.possible = false;
  if (!key_refs_.empty() && key_refs_.back().token_number == key.token_number) key_refs_.pop_back();
  return settled;
}

bool Scanner::open_scalar_key() {
  const SimpleKey& key = simple_keys_.back();
  if (!roll_indent(key.mark.column, kNoToken, TokenType::BlockMappingStart, key.mark, key.tab_before)) return false;
  push_token(TokenType::Key, key.mark, key.mark);
  return true;
}

void Scanner::fetch_key_value(std::size_t spaces) {
  // What scanning up to the ':' and fetching it as a value would have done.
  in_.skip_ascii(spaces);
  tab_before_token_ = false;
  space_before_token_ = false;
  json_node_before_ = false;
  simple_key_allowed_ = false;  // a simple key cannot follow another on the same line
  const Mark start = in_.mark();
  in_.skip_ascii(1);
  push_token(TokenType::Value, start, in_.mark());
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

}  // namespace velmo::events::detail
