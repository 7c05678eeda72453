// The YAML tokenizer: turns input bytes into tokens, deciding simple
// (implicit) keys with a bounded look-ahead and tracking block indentation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "events/detail/input.hpp"
#include "events/detail/text_arena.hpp"
#include "events/detail/token.hpp"
#include "events/event.hpp"

namespace velmo::events::detail {

class Scanner {
 public:
  void reset(std::string_view text, const ParserOptions& options);
  void reset(InputSource& source, const ParserOptions& options);

  // The next token, or nullptr on failure (error() then says why).
  Token* peek() {
    if (token_available_) return &tokens_[head_];
    // With no possible simple key pending, the queued head token is final.
    if (head_ != tokens_.size() && key_refs_head_ == key_refs_.size()) {
      token_available_ = true;
      return &tokens_[head_];
    }
    return fetch_more_tokens() ? &tokens_[head_] : nullptr;
  }
  void skip() {
    token_available_ = false;
    ++head_;
    ++tokens_parsed_;
    // Keep the queue short: it seldom empties, as the scanner looks ahead for ':'.
    if (head_ == tokens_.size()) {
      tokens_.clear();
      head_ = 0;
    } else if (head_ >= 64) {
      tokens_.erase(tokens_.begin(), tokens_.begin() + static_cast<std::ptrdiff_t>(head_));
      head_ = 0;
    }
  }

  // A comment all of whose preceding tokens have been consumed, if any.
  const CommentToken* ready_comment() const {
    if (comment_head_ < comments_.size() && comments_[comment_head_].before_token <= tokens_parsed_) {
      return &comments_[comment_head_];
    }
    return nullptr;
  }
  void pop_comment() {
    if (++comment_head_ == comments_.size()) {
      comments_.clear();
      comment_head_ = 0;
    } else if (comment_head_ >= 64) {
      comments_.erase(comments_.begin(), comments_.begin() + static_cast<std::ptrdiff_t>(comment_head_));
      comment_head_ = 0;
    }
  }

  // Frees the text of tokens and comments already handed out.
  void release_consumed_text() {
    if (!arena_.unused()) release_text();
  }

  [[nodiscard]] const std::optional<ParseError>& error() const { return error_; }

  [[nodiscard]] std::size_t retained_bytes() const {
    return in_.retained_bytes() + arena_.retained_bytes() + tokens_.capacity() * sizeof(Token) +
           comments_.capacity() * sizeof(CommentToken) + indents_.capacity() * sizeof(long) +
           flow_kinds_.capacity() + simple_keys_.capacity() * sizeof(SimpleKey) +
           key_refs_.capacity() * sizeof(KeyRef) + spaces_.capacity();
  }
 private:
  bool fail(std::string message, const Mark& mark) {
    if (!error_) error_ = ParseError{std::move(message), mark};
    return false;
  }

  struct SimpleKey {
    bool possible = false;
    bool required = false;
    bool tab_before = false;  // a tab separated it from what precedes it on its line
    std::uint64_t token_number = 0;
    Mark mark;
  };
  struct KeyRef {
    std::size_t level;
    std::uint64_t token_number;
  };

  void reset_state(const ParserOptions& options);
  void release_text();
  bool need_more_tokens();
  bool fetch_more_tokens();
  bool fetch_next_token();

  bool scan_to_next_token();
  bool scan_comment();
  bool is_stale(const SimpleKey& key, std::size_t level) const;
  bool key_valid(const KeyRef& ref) const {
    return ref.level < simple_keys_.size() && simple_keys_[ref.level].possible &&
           simple_keys_[ref.level].token_number == ref.token_number;
  }
  bool save_simple_key();
  bool remove_simple_key();
  bool roll_indent(std::size_t column, std::uint64_t number, TokenType type, const Mark& mark, bool tab_before);
  void unroll_indent(long column);

  // Inlined so that the marks, usually made just before, are built straight into the token rather than
  // stored to the stack and read back.
  [[gnu::always_inline]] Token& push_token(TokenType type, const Mark& start, const Mark& end) {
    return tokens_.emplace_back(type, start, end, arena_.current_seq());
  }
  Token& insert_token(std::uint64_t number, TokenType type, const Mark& start, const Mark& end);

  bool fetch_stream_end();
  bool fetch_directive();
  bool fetch_document_indicator(TokenType type);
  bool fetch_flow_collection_start(TokenType type);
  bool fetch_flow_collection_end(TokenType type);
  bool fetch_flow_entry();
  bool fetch_block_entry();
  bool fetch_key();
  bool fetch_value();
  // Block context: a simple key must end on its own line, so a scalar that could start one is settled as soon
  // as it has been scanned, and then waits for no look-ahead in the token queue.
  enum class ScalarKey : std::uint8_t { Undecided, Key, NotKey };
  ScalarKey settle_scalar_key(std::size_t& spaces);
  bool open_scalar_key();                  // before the scalar's token: [BLOCK-MAPPING-START] KEY
  void fetch_key_value(std::size_t spaces);  // after it: the ':' that follows `spaces` spaces
  // Pushes a scalar token, settling its simple key first in block context.
  template <class Fill>
  bool push_scalar(const Mark& start, const Mark& end, Fill&& fill) {
    std::size_t spaces = 0;
    const ScalarKey settled = settle_scalar_key(spaces);
    if (settled == ScalarKey::Key && !open_scalar_key()) return false;
    fill(push_token(TokenType::Scalar, start, end));
    if (settled == ScalarKey::Key) fetch_key_value(spaces);
    return true;
  }
  bool fetch_anchor(TokenType type);
  bool fetch_tag();
  bool fetch_block_scalar(bool literal);
  bool fetch_flow_scalar(bool single);
  bool fetch_plain_scalar();

  bool scan_directive_trailer();
  bool scan_tag_handle(bool directive, std::string_view& handle, const Mark& start);
  // Tag characters into `text`; a shorthand suffix excludes '!' and flow
  // indicators and has its %-escapes decoded.
  bool scan_tag_uri(bool shorthand, TextBuilder& text);
  bool scan_escape(TextBuilder& text);
  bool scan_block_breaks(long& indent, std::size_t& breaks, Mark& line_start, bool detect, long& max_empty);
  bool is_document_marker();

  bool in_flow() const { return flow_level_ > 0; }

  Input in_;
  TextArena arena_;
  std::vector<Token> tokens_;
  std::size_t head_ = 0;
  bool token_available_ = false;
  std::uint64_t tokens_parsed_ = 0;
  std::vector<CommentToken> comments_;
  std::size_t comment_head_ = 0;

  bool comments_enabled_ = false;
  std::size_t max_nesting_ = 100000;
  bool stream_start_produced_ = false;
  bool stream_end_produced_ = false;

  long indent_ = -1;
  std::vector<long> indents_;
  std::size_t flow_level_ = 0;
  std::vector<char> flow_kinds_;  // '[' or '{' per open flow collection
  bool simple_key_allowed_ = false;
  std::vector<SimpleKey> simple_keys_;
  std::vector<KeyRef> key_refs_;  // possible simple keys in text order (some stale)
  std::size_t key_refs_head_ = 0;

  bool content_on_line_ = false;  // a token started on the current line
  bool tab_before_token_ = false;  // the white space before the current token held a tab
  bool space_before_token_ = false;  // the last scalar ended by consuming white space
  bool json_node_before_ = false;  // the last token was a quoted scalar or flow collection end
  std::size_t line_indent_ = 0;     // spaces at the start of the current line
  std::string spaces_;  // white space between words of a plain scalar, when it can't be a view

  std::optional<ParseError> error_;
};

}  // namespace velmo::events::detail
