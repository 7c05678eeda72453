#include "events/parser.hpp"

#include <string>
#include <unordered_map>
#include <vector>

#include "events/detail/scanner.hpp"

namespace velmo::events {

using detail::Token;
using detail::TokenType;

namespace {

constexpr std::string_view kCoreTagPrefix = "tag:yaml.org,2002:";

struct StringHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
};

enum class State : std::uint8_t {
  StreamStart,
  DocumentStart,
  DocumentContent,
  DocumentEnd,
  BlockNode,
  BlockSequenceEntry,
  BlockSequenceEntryContent,
  IndentlessSequenceEntry,
  IndentlessSequenceEntryContent,
  BlockMappingKey,
  BlockMappingKeyContent,
  BlockMappingValue,
  BlockMappingValueContent,
  FlowSequenceFirstEntry,
  FlowSequenceEntry,
  FlowSequenceEntryMappingKey,
  FlowSequenceEntryMappingValue,
  FlowSequenceEntryMappingValueContent,
  FlowSequenceEntryMappingEnd,
  FlowMappingFirstKey,
  FlowMappingKey,
  FlowMappingKeyContent,
  FlowMappingValue,
  FlowMappingValueContent,
  FlowMappingEmptyValue,
  End,
};

}  // namespace

class Parser::Impl {
 public:
  void reset(const ParserOptions& options) {
    options_ = options;
    state_ = State::StreamStart;
    states_.clear();
    depth_ = 0;
    implicit_document_allowed_ = true;
    tag_directives_.clear();
    anchors_.clear();
    anchor_count_ = 0;
    error_.reset();
    finished_ = false;
  }

  detail::Scanner scanner_;

  bool next(Event& event) {
    if (finished_) return false;
    scanner_.release_consumed_text();
    clear(event);
    // Comments come out in text order: before the event of the token after them.
    if (options_.comments && state_ != State::End && (peek() == nullptr || take_comment(event))) {
      return event.type == EventType::Comment || fail_finish();
    }
    if (!step(event)) return fail_finish();
    if (event.type == EventType::StreamEnd) finished_ = true;
    return true;
  }

  std::optional<ParseError> error_;
  bool finished_ = false;

  [[nodiscard]] std::size_t retained_bytes() const {
    std::size_t bytes = scanner_.retained_bytes() + states_.capacity() * sizeof(State);
    for (const auto& [name, number] : anchors_) bytes += sizeof(number) + name.capacity() + 2 * sizeof(void*);
    for (const TagDirective& d : tag_directives_) bytes += sizeof(d) + d.handle.capacity() + d.prefix.capacity();
    return bytes;
  }

 private:
  // Resets what the handlers don't always set; marks always are.
  static void clear(Event& event) {
    event.style = ScalarStyle::Plain;
    event.chomping = Chomping::Clip;
    event.implicit = false;
    event.flow = false;
    event.inline_comment = false;
    event.has_tag = false;
    event.anchor = 0;
    event.anchor_name = {};
    event.value = {};
    event.tag_prefix = {};
    event.tag_suffix = {};
  }

  bool fail_finish() {
    finished_ = true;
    if (!error_) error_ = scanner_.error() ? *scanner_.error() : ParseError{"unexpected eof", Mark{}};
    return false;
  }

  bool take_comment(Event& event) {
    const detail::CommentToken* comment = scanner_.ready_comment();
    if (comment == nullptr) return false;
    event.type = EventType::Comment;
    event.value = comment->text;
    event.inline_comment = comment->inline_comment;
    event.start = comment->start;
    event.end = comment->end;
    scanner_.pop_comment();
    return true;
  }

  // After an indicator token was consumed: a comment that follows the
  // indicator comes out first, and the node after it on the next call.
  bool continue_in(State state, Event& event) {
    state_ = state;
    if (options_.comments) {
      if (peek() == nullptr) return false;
      if (take_comment(event)) return true;
    }
    return step(event);
  }
  Token* peek() { return scanner_.peek(); }
  void skip() { scanner_.skip(); }

  bool fail(std::string message, const Mark& mark) {
    if (!error_) error_ = ParseError{std::move(message), mark};
    return false;
  }

  void push_state(State state) { states_.push_back(state); }
  State pop_state() {
    const State state = states_.back();
    states_.pop_back();
    return state;
  }

  bool open_collection(const Mark& mark) {
    if (depth_ >= options_.max_nesting) return fail("recursion limit exceeded", mark);
    ++depth_;
    return true;
  }
  void close_collection() {
    if (depth_ > 0) --depth_;
  }

  static bool empty_scalar(Event& event, const Mark& mark) {
    event.type = EventType::Scalar;
    event.style = ScalarStyle::Plain;
    event.start = event.end = mark;
    return true;
  }

  bool step(Event& event) {
    switch (state_) {
      case State::StreamStart: return stream_start(event);
      case State::DocumentStart: return document_start(event);
      case State::DocumentContent: return document_content(event);
      case State::DocumentEnd: return document_end(event);
      case State::BlockNode: return node(event, true, false);
      case State::BlockSequenceEntry: return block_sequence_entry(event);
      case State::BlockSequenceEntryContent: return block_entry_content(event, State::BlockSequenceEntry, false);
      case State::IndentlessSequenceEntry: return indentless_sequence_entry(event);
      case State::IndentlessSequenceEntryContent:
        return block_entry_content(event, State::IndentlessSequenceEntry, true);
      case State::BlockMappingKey: return block_mapping_key(event);
      case State::BlockMappingKeyContent: return block_mapping_content(event, State::BlockMappingValue);
      case State::BlockMappingValue: return block_mapping_value(event);
      case State::BlockMappingValueContent: return block_mapping_content(event, State::BlockMappingKey);
      case State::FlowSequenceFirstEntry: return flow_sequence_entry(event, true);
      case State::FlowSequenceEntry: return flow_sequence_entry(event, false);
      case State::FlowSequenceEntryMappingKey: return flow_sequence_entry_mapping_key(event);
      case State::FlowSequenceEntryMappingValue: return flow_sequence_entry_mapping_value(event);
      case State::FlowSequenceEntryMappingValueContent: return flow_sequence_entry_mapping_value_content(event);
      case State::FlowSequenceEntryMappingEnd: return flow_sequence_entry_mapping_end(event);
      case State::FlowMappingFirstKey: return flow_mapping_key(event, true);
      case State::FlowMappingKey: return flow_mapping_key(event, false);
      case State::FlowMappingKeyContent: return flow_mapping_key_content(event);
      case State::FlowMappingValue: return flow_mapping_value(event, false);
      case State::FlowMappingValueContent: return flow_mapping_value_content(event);
      case State::FlowMappingEmptyValue: return flow_mapping_value(event, true);
      case State::End: return false;
    }
    return false;
  }

  bool stream_start(Event& event) {
    Token* token = peek();
    if (token == nullptr) return false;
    if (token->type != TokenType::StreamStart) return fail("did not find expected <stream-start>", token->start);
    event.type = EventType::StreamStart;
    event.start = event.end = token->start;
    skip();
    state_ = State::DocumentStart;
    return true;
  }

  bool document_start(Event& event) {
    Token* token = peek();
    if (token == nullptr) return false;
    // Extra "..." lines between documents.
    while (token->type == TokenType::DocumentEnd) {
      implicit_document_allowed_ = true;
      skip();
      if ((token = peek()) == nullptr) return false;
    }
    if (token->type == TokenType::StreamEnd) {
      event.type = EventType::StreamEnd;
      event.start = event.end = token->start;
      skip();
      state_ = State::End;
      return true;
    }
    const bool directive = token->type == TokenType::VersionDirective || token->type == TokenType::TagDirective;
    if (token->type != TokenType::DocumentStart && !directive) {
      if (!implicit_document_allowed_) return fail("did not find expected <document start>", token->start);
      tag_directives_.clear();
      push_state(State::DocumentEnd);
      state_ = State::BlockNode;
      event.type = EventType::DocumentStart;
      event.implicit = true;
      event.start = event.end = token->start;
      return true;
    }
    if (directive && !implicit_document_allowed_) {
      return fail("missing explicit document end marker before directive", token->start);
    }
    tag_directives_.clear();
    bool version_seen = false;
    while (token->type == TokenType::VersionDirective || token->type == TokenType::TagDirective) {
      if (token->type == TokenType::VersionDirective) {
        if (version_seen) return fail("duplicate version directive", token->start);
        version_seen = true;
      } else {
        for (const TagDirective& existing : tag_directives_) {
          if (existing.handle == token->value) {
            return fail("the TAG directive must only be given at most once per handle in the same document",
                        token->start);
          }
        }
        tag_directives_.push_back(TagDirective{std::string(token->value), std::string(token->extra)});
      }
      skip();
      if ((token = peek()) == nullptr) return false;
    }
    if (token->type != TokenType::DocumentStart) return fail("did not find expected <document start>", token->start);
    push_state(State::DocumentEnd);
    state_ = State::DocumentContent;
    event.type = EventType::DocumentStart;
    event.start = token->start;
    event.end = token->end;
    skip();
    return true;
  }

  bool document_content(Event& event) {
    Token* token = peek();
    if (token == nullptr) return false;
    switch (token->type) {
      case TokenType::VersionDirective:
      case TokenType::TagDirective:
      case TokenType::DocumentStart:
      case TokenType::DocumentEnd:
      case TokenType::StreamEnd:
        state_ = pop_state();
        return empty_scalar(event, token->start);
      default:
        return node(event, true, false);
    }
  }

  bool document_end(Event& event) {
    Token* token = peek();
    if (token == nullptr) return false;
    event.type = EventType::DocumentEnd;
    event.start = event.end = token->start;
    event.implicit = true;
    if (token->type == TokenType::DocumentEnd) {
      event.end = token->end;
      event.implicit = false;
      skip();
    }
    implicit_document_allowed_ = !event.implicit;
    anchors_.clear();  // anchors are scoped to their document
    state_ = State::DocumentStart;
    return true;
  }

  bool resolve_tag(std::string_view handle, std::string_view suffix, Event& event, const Mark& mark) {
    event.has_tag = true;
    event.tag_suffix = suffix;
    if (handle.empty()) {  // verbatim
      event.tag_prefix = {};
      return true;
    }
    if (handle == "!" && suffix.empty()) {  // the non-specific tag
      event.tag_prefix = "!";
      return true;
    }
    for (const TagDirective& directive : tag_directives_) {
      if (directive.handle == handle) {
        event.tag_prefix = directive.prefix;
        return true;
      }
    }
    if (handle == "!") {
      event.tag_prefix = "!";
    } else if (handle == "!!") {
      event.tag_prefix = kCoreTagPrefix;
    } else {
      return fail("the handle wasn't declared", mark);
    }
    return true;
  }

  // The anchor and tag before a node (in either order); leaves `token` at the node's content.
  [[gnu::noinline]] bool node_properties(Event& event, Token*& token, Mark& properties_end) {
    bool has_anchor = false;
    bool has_tag = false;
    std::string_view tag_handle;
    std::string_view tag_suffix;
    Mark tag_mark;
    for (;;) {
      if (token->type == TokenType::Anchor && !has_anchor) {
        has_anchor = true;
        event.anchor_name = token->value;
      } else if (token->type == TokenType::Tag && !has_tag) {
        has_tag = true;
        tag_handle = token->extra;
        tag_suffix = token->value;
        tag_mark = token->start;
      } else {
        break;
      }
      properties_end = token->end;
      skip();
      if ((token = peek()) == nullptr) return false;
    }
    if (has_tag && !resolve_tag(tag_handle, tag_suffix, event, tag_mark)) return false;
    if (has_anchor) {
      if (anchor_count_ == UINT32_MAX) {
        return fail("while parsing anchor, anchor count exceeded supported limit", token->start);
      }
      event.anchor = ++anchor_count_;
      const auto found = anchors_.find(event.anchor_name);
      if (found != anchors_.end()) {
        found->second = event.anchor;
      } else {
        anchors_.emplace(std::string(event.anchor_name), event.anchor);
      }
    }

    return true;
  }

  // A scalar token as its event; the caller has set the state that follows.
  bool scalar(Event& event, const Token& token) {
    event.type = EventType::Scalar;
    event.value = token.value;
    event.style = token.style;
    event.chomping = token.chomping;
    event.start = token.start;
    event.end = token.end;
    skip();
    return true;
  }

  bool node(Event& event, bool block, bool indentless_sequence) {
    Token* token = peek();
    if (token == nullptr) return false;
    if (token->type == TokenType::Alias) {
      const auto found = anchors_.find(token->value);
      if (found == anchors_.end()) return fail("while parsing node, found unknown anchor", token->start);
      event.type = EventType::Alias;
      event.anchor = found->second;
      event.anchor_name = token->value;
      event.start = token->start;
      event.end = token->end;
      state_ = pop_state();
      skip();
      return true;
    }

    // Most nodes carry no anchor or tag: their properties are read out of line.
    bool has_properties = false;
    Mark properties_end;
    if (token->type == TokenType::Anchor || token->type == TokenType::Tag) {
      if (!node_properties(event, token, properties_end)) return false;
      has_properties = true;
    }

    event.start = token->start;
    event.end = token->end;
    switch (token->type) {
      case TokenType::BlockEntry:
        if (!indentless_sequence) break;
        if (!open_collection(token->start)) return false;
        event.type = EventType::SequenceStart;
        event.end = token->start;
        state_ = State::IndentlessSequenceEntry;
        return true;
      case TokenType::Scalar:
        state_ = pop_state();
        return scalar(event, *token);
      case TokenType::FlowSequenceStart:
        if (!open_collection(token->start)) return false;
        event.type = EventType::SequenceStart;
        event.flow = true;
        state_ = State::FlowSequenceFirstEntry;
        skip();
        return true;
      case TokenType::FlowMappingStart:
        if (!open_collection(token->start)) return false;
        event.type = EventType::MappingStart;
        event.flow = true;
        state_ = State::FlowMappingFirstKey;
        skip();
        return true;
      case TokenType::BlockSequenceStart:
        if (!block) break;
        if (!open_collection(token->start)) return false;
        event.type = EventType::SequenceStart;
        state_ = State::BlockSequenceEntry;
        skip();
        return true;
      case TokenType::BlockMappingStart:
        if (!block) break;
        if (!open_collection(token->start)) return false;
        event.type = EventType::MappingStart;
        state_ = State::BlockMappingKey;
        skip();
        return true;
      default:
        break;
    }
    if (has_properties) {
      state_ = pop_state();
      return empty_scalar(event, properties_end);
    }
    return fail("while parsing a node, did not find expected node content", token->start);
  }

  bool block_sequence_entry(Event& event) {
    Token* token = peek();
    if (token == nullptr) return false;
    if (token->type == TokenType::BlockEntry) {
      indicator_end_ = token->end;
      skip();
      return continue_in(State::BlockSequenceEntryContent, event);
    }
    if (token->type == TokenType::BlockEnd) {
      state_ = pop_state();
      close_collection();
      event.type = EventType::SequenceEnd;
      event.start = event.end = token->start;
      skip();
      return true;
    }
    return fail("while parsing a block collection, did not find expected '-' indicator", token->start);
  }

  // The node after "-" in a block sequence; `entry` is the state for the next entry.
  bool block_entry_content(Event& event, State entry, bool indentless) {
    Token* token = peek();
    if (token == nullptr) return false;
    const bool empty = token->type == TokenType::BlockEntry || token->type == TokenType::BlockEnd ||
                       (indentless && (token->type == TokenType::Key || token->type == TokenType::Value));
    if (token->type == TokenType::Scalar) {
      state_ = entry;
      return scalar(event, *token);
    }
    if (!empty) {
      push_state(entry);
      return node(event, true, false);
    }
    state_ = entry;
    return empty_scalar(event, indicator_end_);
  }

  bool indentless_sequence_entry(Event& event) {
    Token* token = peek();
    if (token == nullptr) return false;
    if (token->type == TokenType::BlockEntry) {
      indicator_end_ = token->end;
      skip();
      return continue_in(State::IndentlessSequenceEntryContent, event);
    }
    state_ = pop_state();
    close_collection();
    event.type = EventType::SequenceEnd;
    event.start = event.end = token->start;
    return true;
  }

  bool block_mapping_key(Event& event) {
    Token* token = peek();
    if (token == nullptr) return false;
    if (token->type == TokenType::Key) {
      indicator_end_ = token->end;
      skip();
      return continue_in(State::BlockMappingKeyContent, event);
    }
    if (token->type == TokenType::Value) {
      state_ = State::BlockMappingValue;
      return empty_scalar(event, token->start);
    }
    if (token->type == TokenType::BlockEnd) {
      state_ = pop_state();
      close_collection();
      event.type = EventType::MappingEnd;
      event.start = event.end = token->start;
      skip();
      return true;
    }
    return fail("while parsing a block mapping, did not find expected key", token->start);
  }

  // The node after "?" or ":" in a block mapping; `next` is the state after it.
  bool block_mapping_content(Event& event, State next) {
    Token* token = peek();
    if (token == nullptr) return false;
    // Most content is a scalar without properties: its event needs no state pushed and popped.
    if (token->type == TokenType::Scalar) {
      state_ = next;
      return scalar(event, *token);
    }
    if (token->type != TokenType::Key && token->type != TokenType::Value && token->type != TokenType::BlockEnd) {
      push_state(next);
      return node(event, true, true);
    }
    state_ = next;
    return empty_scalar(event, indicator_end_);
  }

  bool block_mapping_value(Event& event) {
    Token* token = peek();
    if (token == nullptr) return false;
    if (token->type == TokenType::Value) {
      indicator_end_ = token->end;
      skip();
      return continue_in(State::BlockMappingValueContent, event);
    }
    state_ = State::BlockMappingKey;
    return empty_scalar(event, token->start);
  }

  bool flow_sequence_entry(Event& event, bool first) {
    Token* token = peek();
    if (token == nullptr) return false;
    if (token->type == TokenType::StreamEnd) return fail("unexpected EOF while parsing a flow sequence", token->start);
    if (token->type != TokenType::FlowSequenceEnd) {
      if (!first) {
        if (token->type != TokenType::FlowEntry) {
          if (token->type == TokenType::StreamEnd) {
            return fail("unexpected EOF while parsing a flow sequence", token->start);
          }
          return fail("while parsing a flow sequence, expected ',' or ']'", token->start);
        }
        skip();
        return continue_in(State::FlowSequenceFirstEntry, event);
      }
      if (token->type == TokenType::Key || token->type == TokenType::Value) {
        // A single pair "key: value" inside a flow sequence.
        if (!open_collection(token->start)) return false;
        event.type = EventType::MappingStart;
        event.flow = true;
        event.start = event.end = token->start;
        state_ = State::FlowSequenceEntryMappingKey;
        if (token->type == TokenType::Key) skip();
        return true;
      }
      if (token->type != TokenType::FlowSequenceEnd) {
        push_state(State::FlowSequenceEntry);
        return node(event, false, false);
      }
    }
    state_ = pop_state();
    close_collection();
    event.type = EventType::SequenceEnd;
    event.start = token->start;
    event.end = token->end;
    skip();
    return true;
  }

  bool flow_sequence_entry_mapping_key(Event& event) {
    Token* token = peek();
    if (token == nullptr) return false;
    if (token->type != TokenType::Value && token->type != TokenType::FlowEntry &&
        token->type != TokenType::FlowSequenceEnd) {
      push_state(State::FlowSequenceEntryMappingValue);
      return node(event, false, false);
    }
    state_ = State::FlowSequenceEntryMappingValue;
    return empty_scalar(event, token->start);
  }

  bool flow_sequence_entry_mapping_value(Event& event) {
    Token* token = peek();
    if (token == nullptr) return false;
    if (token->type == TokenType::Value) {
      skip();
      return continue_in(State::FlowSequenceEntryMappingValueContent, event);
    }
    state_ = State::FlowSequenceEntryMappingEnd;
    return empty_scalar(event, token->start);
  }

  bool flow_sequence_entry_mapping_value_content(Event& event) {
    Token* token = peek();
    if (token == nullptr) return false;
    if (token->type != TokenType::FlowEntry && token->type != TokenType::FlowSequenceEnd) {
      push_state(State::FlowSequenceEntryMappingEnd);
      return node(event, false, false);
    }
    state_ = State::FlowSequenceEntryMappingEnd;
    return empty_scalar(event, token->start);
  }

  bool flow_sequence_entry_mapping_end(Event& event) {
    Token* token = peek();
    if (token == nullptr) return false;
    state_ = State::FlowSequenceEntry;
    close_collection();
    event.type = EventType::MappingEnd;
    event.start = event.end = token->start;
    return true;
  }

  bool flow_mapping_key(Event& event, bool first) {
    Token* token = peek();
    if (token == nullptr) return false;
    if (token->type == TokenType::StreamEnd) return fail("unexpected EOF while parsing a flow mapping", token->start);
    if (token->type != TokenType::FlowMappingEnd) {
      if (!first) {
        if (token->type != TokenType::FlowEntry) {
          if (token->type == TokenType::StreamEnd) {
            return fail("unexpected EOF while parsing a flow mapping", token->start);
          }
          return fail("while parsing a flow mapping, did not find expected ',' or '}'", token->start);
        }
        skip();
        return continue_in(State::FlowMappingFirstKey, event);
      }
      if (token->type == TokenType::Key) {
        skip();
        return continue_in(State::FlowMappingKeyContent, event);
      }
      if (token->type == TokenType::Value) {
        state_ = State::FlowMappingValue;
        return empty_scalar(event, token->start);
      }
      push_state(State::FlowMappingEmptyValue);
      return node(event, false, false);
    }
    state_ = pop_state();
    close_collection();
    event.type = EventType::MappingEnd;
    event.start = token->start;
    event.end = token->end;
    skip();
    return true;
  }

  bool flow_mapping_key_content(Event& event) {
    Token* token = peek();
    if (token == nullptr) return false;
    if (token->type != TokenType::Value && token->type != TokenType::FlowEntry &&
        token->type != TokenType::FlowMappingEnd) {
      push_state(State::FlowMappingValue);
      return node(event, false, false);
    }
    state_ = State::FlowMappingValue;
    return empty_scalar(event, token->start);
  }

  bool flow_mapping_value(Event& event, bool empty) {
    Token* token = peek();
    if (token == nullptr) return false;
    state_ = State::FlowMappingKey;
    if (empty) return empty_scalar(event, token->start);
    if (token->type == TokenType::Value) {
      skip();
      return continue_in(State::FlowMappingValueContent, event);
    }
    return empty_scalar(event, token->start);
  }

  bool flow_mapping_value_content(Event& event) {
    Token* token = peek();
    if (token == nullptr) return false;
    state_ = State::FlowMappingKey;
    if (token->type != TokenType::FlowEntry && token->type != TokenType::FlowMappingEnd) {
      push_state(State::FlowMappingKey);
      return node(event, false, false);
    }
    return empty_scalar(event, token->start);
  }

  struct TagDirective {
    std::string handle;
    std::string prefix;
  };

  ParserOptions options_;
  State state_ = State::StreamStart;
  std::vector<State> states_;
  std::size_t depth_ = 0;
  Mark indicator_end_;  // end of the last "-", "?" or ":" consumed
  bool implicit_document_allowed_ = true;
  std::vector<TagDirective> tag_directives_;
  std::unordered_map<std::string, std::uint32_t, StringHash, std::equal_to<>> anchors_;
  std::uint32_t anchor_count_ = 0;
};

Parser::Parser(std::string_view text, ParserOptions options) : impl_(std::make_unique<Impl>()) {
  reset(text, options);
}

Parser::Parser(InputSource& source, ParserOptions options) : impl_(std::make_unique<Impl>()) {
  reset(source, options);
}

Parser::~Parser() = default;
Parser::Parser(Parser&&) noexcept = default;
Parser& Parser::operator=(Parser&&) noexcept = default;

void Parser::reset(std::string_view text, ParserOptions options) {
  impl_->scanner_.reset(text, options);
  impl_->reset(options);
}

void Parser::reset(InputSource& source, ParserOptions options) {
  impl_->scanner_.reset(source, options);
  impl_->reset(options);
}

bool Parser::next(Event& event) { return impl_->next(event); }

const ParseError* Parser::error() const { return impl_->error_ ? &*impl_->error_ : nullptr; }

bool Parser::finished() const { return impl_->finished_; }

std::size_t Parser::retained_bytes() const { return impl_->retained_bytes(); }

}  // namespace velmo::events
