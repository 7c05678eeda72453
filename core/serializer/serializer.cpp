#include "serializer/serializer.hpp"

#include <algorithm>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "serializer/scalar_writers.hpp"

namespace velmo {

namespace {

// Implicit keys may span at most 1024 characters; longer keys are written in the explicit "? " form.
constexpr std::size_t kMaxImplicitKeyBytes = 1000;

// Where the line being written stands in the block structure, for the body of a literal or folded scalar:
// `line_indent` is the column of the construct that starts the line (the key, the dash, or the scalar itself)
// and `parent_indent` the indentation of the innermost enclosing block collection.
struct BlockContext {
  std::size_t line_indent = 0;
  std::size_t parent_indent = 0;
};

bool has_standalone_comment(const Node& node) {
  const Comment* comment = node.comment();
  return comment != nullptr && comment->standalone;
}

const Comment* trailing_comment(const Node& node) {
  const Comment* comment = node.comment();
  return comment != nullptr && !comment->standalone ? comment : nullptr;
}

bool is_block_collection(const Node& node) { return node.is_collection() && !node.flow_style(); }

bool is_block_style(ScalarStyle style) { return style == ScalarStyle::Literal || style == ScalarStyle::Folded; }

// A literal or folded body can carry only printable characters and line feeds; a byte order mark inside a
// document is an error for readers.
bool block_scalar_can_hold(std::string_view text) {
  return holds_only_printable(text, true) && text.find("\xEF\xBB\xBF") == std::string_view::npos;
}

// The lines of a block scalar's text, split at line feeds, a final line feed ending the last line (so "" has
// no lines and "a\n" one). Walked in place, without building a list.
class BlockLines {
 public:
  explicit BlockLines(std::string_view text) : rest_(text) {
    if (!rest_.empty() && rest_.back() == '\n') rest_.remove_suffix(1);
    done_ = text.empty();
  }
  bool next(std::string_view& line) {
    if (done_) return false;
    const std::size_t end = rest_.find('\n');
    if (end == std::string_view::npos) {
      line = rest_;
      done_ = true;
    } else {
      line = rest_.substr(0, end);
      rest_.remove_prefix(end + 1);
    }
    return true;
  }

 private:
  std::string_view rest_;
  bool done_;
};

// The chomping that makes the body read back as exactly `text`: the stored one where it does, else the one
// the trailing line feeds call for.
Chomping chomping_for(std::string_view text, Chomping stored) {
  if (text.empty()) return stored;
  if (text.back() != '\n') return Chomping::Strip;
  const bool only_breaks = text.find_first_not_of('\n') == std::string_view::npos;
  if (only_breaks || (text.size() >= 2 && text[text.size() - 2] == '\n')) return Chomping::Keep;
  return stored == Chomping::Strip ? Chomping::Clip : stored;
}

// Characters a tag may hold as they are; anything else is written %-escaped (the reader decodes it). `shorthand`
// excludes what ends a shorthand tag's suffix: '!' and the flow indicators.
bool is_tag_char(unsigned char c, bool shorthand) {
  if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) return true;
  switch (c) {
    case '-': case '#': case ';': case '/': case '?': case ':': case '@': case '&': case '=': case '+': case '$':
    case '_': case '.': case '~': case '*': case '\'': case '(': case ')':
      return true;
    case '!': case ',': case '[': case ']':
      return !shorthand;
    default:
      return false;
  }
}

// A shorthand's suffix is %-decoded by the reader, so '%' is escaped there too; a verbatim tag is taken as it
// stands, so its '%' stays.
void append_tag_chars(std::string& out, std::string_view text, bool shorthand) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (is_tag_char(c, shorthand) || (!shorthand && c == '%')) {
      out += ch;
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    }
  }
}

// A tag in a form the reader resolves to the same tag: "!!" and local ("!...") tags as shorthands (a '!' after
// the first escaped, since no %TAG directive is written back to declare a named handle), a tag whose handle is
// a full prefix in the verbatim "!<...>" form.
void append_tag(std::string& out, const Tag& tag) {
  const std::string_view handle = tag.handle;
  if (handle == "!!") {
    out += "!!";
    append_tag_chars(out, tag.suffix, true);
  } else if (handle.empty()) {
    if (tag.suffix == "!") {
      out += '!';
    } else {
      out += "!<";
      append_tag_chars(out, tag.suffix, false);
      out += '>';
    }
  } else if (handle.front() == '!') {
    out += '!';
    append_tag_chars(out, handle.substr(1), true);
    append_tag_chars(out, tag.suffix, true);
  } else {
    out += "!<";
    append_tag_chars(out, handle, false);
    append_tag_chars(out, tag.suffix, false);
    out += '>';
  }
}

bool is_bare_empty_plain(const Node& node) {
  return node.is_scalar() && node.style() == ScalarStyle::Plain && node.value().empty() &&
         !node.meta()->has_properties();
}

std::string_view sort_text(const Node& key) { return key.is_scalar() ? key.value().view() : std::string_view(); }

// Where anchors go when sorting keys changes the order of a document's nodes.
//
// Written in stored order, every anchored node comes before the aliases to it. Sorting can move an alias ahead
// of its anchor, and such text does not read back. So, with sort_keys, whichever of an anchored node and its
// aliases comes first in output order is written as the full anchored node, anchor included, and the others
// as aliases to it. This needs each aliased name to stand for one node: a document that anchors such a name
// twice is written as stored.
class AnchorPlacement {
 public:
  AnchorPlacement(const Node& root, bool sort_keys) {
    if (!sort_keys) return;
    std::unordered_map<std::string_view, const Node*> latest;
    std::unordered_map<std::string_view, unsigned> definitions;
    std::vector<const Node*> stack{&root};
    while (!stack.empty()) {
      const Node* node = stack.back();
      stack.pop_back();
      if (node->is_alias()) {
        const auto found = latest.find(node->alias_name());
        if (found != latest.end()) targets_.emplace(node, found->second);
        continue;
      }
      if (const std::string* anchor = node->anchor()) {
        latest[*anchor] = node;
        ++definitions[*anchor];
      }
      if (node->is_sequence()) {
        const NodeList& items = node->items();
        for (auto it = items.rbegin(); it != items.rend(); ++it) stack.push_back(&*it);
      } else if (node->is_mapping()) {
        const Pairs& pairs = node->pairs();
        for (std::size_t i = pairs.size(); i-- > 0;) {
          stack.push_back(&pairs[i].value());
          stack.push_back(&pairs[i].key());
        }
      }
    }
    active_ = !targets_.empty();
    for (const auto& [alias, target] : targets_) {
      if (definitions[alias->alias_name()] > 1) active_ = false;
    }
  }

  // False when nothing needs moving: every node is written as stored.
  bool active() const noexcept { return active_; }

  // What to write at the place of `node`, next in output order: the node itself, the anchored node an alias
  // names (not written yet), or an alias to an anchored node already written.
  // An anchored mapping key is always written in full (a second time if an alias took it earlier): as an
  // alias it would load as an alias key, which is not the same key.
  const Node& place(const Node& node, bool key = false) {
    const Node* target = target_of(node);
    if (target == nullptr) return node;
    const std::string& name = *target->anchor();
    const Node*& bound = bindings_[name];
    if (bound != target) {
      bound = target;
      return *target;
    }
    if (node.is_alias() || key) return node;
    return aliases_.emplace_back(Node::alias(name));
  }

  // What place() would return now, without taking the place (for layout decisions made ahead of writing).
  const Node& peek(const Node& node) const {
    const Node* target = target_of(node);
    if (target == nullptr || &node == target) return node;
    const auto bound = bindings_.find(*target->anchor());
    if (bound == bindings_.end() || bound->second != target) return *target;
    return node;
  }

 private:
  const Node* target_of(const Node& node) const {
    if (!active_) return nullptr;
    if (!node.is_alias()) return node.anchor() != nullptr ? &node : nullptr;
    const auto found = targets_.find(&node);
    return found == targets_.end() ? nullptr : found->second;
  }

  bool active_ = false;
  std::unordered_map<const Node*, const Node*> targets_;  // alias -> the anchored node it names
  std::unordered_map<std::string, const Node*> bindings_;  // what each name stands for at this point of output
  std::deque<Node> aliases_;  // stable addresses for the aliases written in place of anchored nodes
};

class TreeWriter {
 public:
  TreeWriter(std::string& out, const SerializeOptions& options) : out_(out), options_(options) {}

  const std::optional<SerializeError>& error() const { return error_; }

  bool emit_document(const Node& root) {
    if (options_.explicit_start) out_ += "---\n";
    const std::size_t indent = options_.indent_offset;
    if (options_.sort_keys) {
      anchors_.emplace(root, true);
      if (!anchors_->active()) anchors_.reset();
    }
    if (!emit_node(place(root), indent, false, 0, {indent, 0})) return false;
    if (options_.explicit_end) out_ += "...\n";
    return true;
  }

  // A node in block context. With `after_key` the key is already on the current line.
  bool emit_node(const Node& node, std::size_t indent, bool after_key, std::size_t depth, BlockContext context) {
    if (!check_depth(depth)) return false;
    if (node.is_alias()) {
      write_indent(indent);
      write_alias(node);
      out_ += '\n';
      return true;
    }
    const Comment* comment = node.comment();
    const bool empty_collection = node.is_collection() && node.size() == 0;
    if (comment != nullptr && comment->standalone && !empty_collection) write_comment_lines(indent, comment->text);

    if (node.is_scalar() || node.is_null()) {
      write_indent(indent);
      write_properties(node);
      if (node.is_null()) {
        out_ += "null";
        write_trailing_comment(node);
        out_ += '\n';
        return true;
      }
      if (is_block_style(node.style()) && block_scalar_can_hold(node.value())) {
        write_block_scalar(node, context);  // the trailing comment goes on the header line
      } else {
        write_scalar(node, options_.width, PlainContext::Block);
        write_trailing_comment(node);
      }
      out_ += '\n';
      return true;
    }

    if (node.flow_style()) {
      write_indent(indent);
      write_properties(node);
      if (!emit_flow_body(node, depth, options_.width)) return false;
      if (comment != nullptr && (!comment->standalone || empty_collection)) write_comment_suffix(comment->text);
      out_ += '\n';
      return true;
    }

    if (!after_key && node.meta()->has_properties()) {
      write_indent(indent);
      write_properties(node);
      out_ += '\n';
    }
    if (empty_collection) {
      write_indent(indent);
      out_ += node.is_sequence() ? "[]" : "{}";
      if (comment != nullptr) write_comment_suffix(comment->text);
      out_ += '\n';
      return true;
    }
    if (node.is_sequence()) {
      for (const Node& item : node.items()) {
        if (!emit_sequence_item(item, indent, depth)) return false;
      }
    } else if (options_.sort_keys) {
      std::vector<const PairEntry*> sorted;
      sorted.reserve(node.pairs().size());
      for (const PairEntry& entry : node.pairs()) sorted.push_back(&entry);
      std::stable_sort(sorted.begin(), sorted.end(), [](const PairEntry* a, const PairEntry* b) {
        return sort_text(a->key()) < sort_text(b->key());
      });
      for (const PairEntry* entry : sorted) {
        if (!emit_block_entry(entry->key(), entry->value(), indent, depth)) return false;
      }
    } else {
      for (const PairEntry& entry : node.pairs()) {
        if (!emit_block_entry(entry.key(), entry.value(), indent, depth)) return false;
      }
    }
    if (comment != nullptr && !comment->standalone) write_comment_lines(indent, comment->text);
    return true;
  }

  // One entry of a block mapping at `indent`; `depth` is the mapping's.
  bool emit_block_entry(const Node& stored_key, const Node& stored_value, std::size_t indent, std::size_t depth) {
    const Node& key = place_key(stored_key);
    if (needs_explicit_key(key)) {
      write_indent(indent);
      out_ += '?';
      if (!emit_indicated_content(key, indent, depth)) return false;
      write_indent(indent);
      out_ += ':';
      return emit_value_on_next_line(place(stored_value), indent, depth);
    }
    if ((key.is_scalar() || key.is_null()) && has_standalone_comment(key)) {
      write_comment_lines(indent, key.comment()->text);
    }
    write_indent(indent);
    write_key(key);
    out_ += ':';
    const Node& value = place(stored_value);
    if (value_fits_on_key_line(value)) {
      out_ += ' ';
      return emit_node(value, 0, true, depth + 1, {indent, indent});
    }
    return emit_value_on_next_line(value, indent, depth);
  }

  // One block-sequence item at `indent`; `depth` is the sequence's.
  bool emit_sequence_item(const Node& item, std::size_t indent, std::size_t depth) {
    write_indent(indent);
    out_ += '-';
    return emit_indicated_content(place(item), indent, depth);
  }

 private:
  // The node to write at a place in output order (see AnchorPlacement); as stored unless anchors may move.
  const Node& place(const Node& node) { return anchors_ ? anchors_->place(node) : node; }
  const Node& place_key(const Node& key) { return anchors_ ? anchors_->place(key, true) : key; }
  const Node& peek(const Node& node) const { return anchors_ ? anchors_->peek(node) : node; }

  bool check_depth(std::size_t depth) {
    if (depth < options_.max_depth) return true;
    error_ = SerializeError::depth_limit(options_.max_depth);
    return false;
  }

  void write_indent(std::size_t count) { out_.append(count, ' '); }

  void write_alias(const Node& alias) {
    out_ += '*';
    out_ += alias.alias_name();
  }

  void write_properties(const Node& node) {
    if (const std::string* anchor = node.anchor()) {
      out_ += '&';
      out_ += *anchor;
      out_ += ' ';
    }
    if (const Tag* tag = node.tag()) {
      append_tag(out_, *tag);
      out_ += ' ';
    }
  }

  // "# text" lines at `indent`; a text holding line feeds becomes one comment line per line.
  void write_comment_lines(std::size_t indent, std::string_view text) {
    for (;;) {
      const std::size_t end = text.find('\n');
      write_indent(indent);
      out_ += "# ";
      out_ += text.substr(0, end);
      out_ += '\n';
      if (end == std::string_view::npos) return;
      text.remove_prefix(end + 1);
    }
  }

  // "  # text" at the end of a line; line feeds in the text would end the comment, so they become spaces.
  void write_comment_suffix(std::string_view text) {
    out_ += "  # ";
    const std::size_t start = out_.size();
    out_ += text;
    std::replace(out_.begin() + static_cast<std::ptrdiff_t>(start), out_.end(), '\n', ' ');
  }

  void write_trailing_comment(const Node& node) {
    if (const Comment* comment = trailing_comment(node)) write_comment_suffix(comment->text);
  }

  // The text of a scalar in its stored style, where that style can carry the text: a single-quoted text with a
  // line break or a non-printable character, and a literal or folded text here (in flow context or as an
  // implicit key), are written in double quotes.
  void write_scalar(const Node& scalar, std::size_t fold, PlainContext context) {
    const std::string_view text = scalar.value();
    switch (scalar.style()) {
      case ScalarStyle::Plain:
        write_plain(out_, text, fold, context);
        return;
      case ScalarStyle::SingleQuoted:
        if (single_quotes_can_hold(text) && text.find('\n') == std::string_view::npos) {
          write_single_quoted(out_, text);
        } else {
          write_double_quoted(out_, text);
        }
        return;
      case ScalarStyle::DoubleQuoted:
      case ScalarStyle::Literal:
      case ScalarStyle::Folded:
        write_double_quoted(out_, text);
        return;
    }
  }

  // Header ("|" or ">", the chomping indicator, an indentation indicator when the text starts with white
  // space), the trailing comment, then the body lines, indented deeper than the line holding the header.
  void write_block_scalar(const Node& scalar, BlockContext context) {
    const std::string_view text = scalar.value();
    const bool folded = scalar.style() == ScalarStyle::Folded;
    std::size_t body_indent = context.line_indent + std::max<std::size_t>(options_.indent_size, 1);
    bool indicator = false;
    std::string_view line;
    for (BlockLines lines(text); lines.next(line);) {
      if (line.empty()) continue;
      indicator = line.front() == ' ' || line.front() == '\t';
      break;
    }
    std::size_t step = 0;
    if (indicator) {
      // The indicator counts from the enclosing collection's indentation and is a single digit.
      step = std::min<std::size_t>(body_indent - context.parent_indent, 9);
      body_indent = context.parent_indent + step;
    }

    out_ += folded ? '>' : '|';
    switch (chomping_for(text, scalar.chomping())) {
      case Chomping::Strip: out_ += '-'; break;
      case Chomping::Keep: out_ += '+'; break;
      case Chomping::Clip: break;
    }
    // After the chomping indicator, so that a reader looking only at the character after '|' sees the chomping.
    if (indicator) out_ += static_cast<char>('0' + step);
    write_trailing_comment(scalar);

    bool previous_is_text = false;  // the last non-empty line starts with neither space nor tab
    bool seen_text = false;
    for (BlockLines lines(text); lines.next(line);) {
      if (line.empty()) {
        out_ += '\n';
        continue;
      }
      const bool is_text = line.front() != ' ' && line.front() != '\t';
      // A reader folds a single line break between two such lines into a space, so a break kept in the
      // text needs one more (empty) line.
      if (folded && seen_text && previous_is_text && is_text) out_ += '\n';
      out_ += '\n';
      write_indent(body_indent);
      out_ += line;
      previous_is_text = is_text;
      seen_text = true;
    }
  }

  // An explicit key is needed for collections, literal and folded texts, and keys too long for an implicit key
  // once written (escapes can make a quoted text several times longer than its characters).
  bool needs_explicit_key(const Node& key) {
    if (key.is_collection()) return true;
    if (!key.is_scalar()) return false;
    if (is_block_style(key.style()) && block_scalar_can_hold(key.value())) return true;
    if (key.value().size() <= kMaxImplicitKeyBytes / 8) return false;
    // Measured by writing the key after the current output and taking it back off again.
    const std::size_t start = out_.size();
    write_key(key);
    const std::size_t length = out_.size() - start;
    out_.resize(start);
    return length > kMaxImplicitKeyBytes;
  }

  // An implicit key. Its anchor and tag are written so that aliases to it and its type read back.
  void write_key(const Node& key) {
    if (key.is_alias()) {
      write_alias(key);
      out_ += ' ';  // ':' may belong to an alias name, so it must not follow directly
      return;
    }
    write_properties(key);
    if (!key.is_scalar()) {
      out_ += "null";
      return;
    }
    if (key.style() == ScalarStyle::Plain && is_short_word(key.value())) {
      out_ += key.value().view();
      return;
    }
    write_scalar(key, 0, PlainContext::Block);
  }

  static bool value_fits_on_key_line(const Node& value) {
    if (value.is_alias()) return true;
    if (value.is_scalar() || value.is_null()) return !has_standalone_comment(value);
    if (!value.flow_style()) return false;
    return value.size() == 0 || !has_standalone_comment(value);
  }

  // The value of an entry on the lines after its key's colon. Only a block collection's properties go after
  // the colon; any other value writes its own in front of its text.
  bool emit_value_on_next_line(const Node& value, std::size_t indent, std::size_t depth) {
    const bool block = is_block_collection(value);
    if (block) {
      if (const std::string* anchor = value.anchor()) {
        out_ += " &";
        out_ += *anchor;
      }
      if (const Tag* tag = value.tag()) {
        out_ += ' ';
        append_tag(out_, *tag);
      }
    }
    out_ += '\n';
    // A nested mapping or a scalar needs to go deeper than its key; a sequence may stay at the key's column.
    std::size_t step = options_.indent_mapping;
    if (!value.is_sequence() && step == 0) step = 1;
    const std::size_t child = indent + step;
    return emit_node(value, child, true, depth + 1, {child, indent});
  }

  // Whether an item can be written as a compact mapping on its dash line: a block mapping with entries and no
  // comment or properties, whose keys are implicit and whose values fit on their key's line. Keys and values
  // with standalone comments are left out, since those comments need lines of their own.
  bool is_compact_mapping(const Node& item) {
    if (!item.is_mapping() || item.flow_style() || item.size() == 0) return false;
    if (!item.meta()->has_no_metadata()) return false;
    for (const PairEntry& entry : item.pairs()) {
      const Node& key = peek(entry.key());
      const Node& value = peek(entry.value());
      if (needs_explicit_key(key) || has_standalone_comment(key)) return false;
      if (is_block_collection(value) || has_standalone_comment(value)) return false;
    }
    return true;
  }

  // The content after a "-" or "?" indicator at `indent`; `depth` is the enclosing collection's.
  bool emit_indicated_content(const Node& item, std::size_t indent, std::size_t depth) {
    if (is_compact_mapping(item)) {
      // Entries line up after the indicator; with a sequence indentation other than 2 the indicator is padded
      // so that the first entry starts in the same column as the later ones.
      const std::size_t column = indent + std::max<std::size_t>(options_.indent_sequence, 2);
      write_indent(column - indent - 1);
      bool first = true;
      for (const PairEntry& entry : item.pairs()) {
        if (!first) write_indent(column);
        first = false;
        write_key(place_key(entry.key()));
        out_ += ": ";
        // A compact mapping does not count as a level of its own: its values are one below the sequence.
        if (!emit_node(place(entry.value()), 0, true, depth + 1, {column, column})) return false;
      }
      return true;
    }
    out_ += ' ';
    const bool same_line = item.is_alias() || ((item.is_scalar() || item.is_null() || item.flow_style()) &&
                                              !has_standalone_comment(item));
    if (same_line) return emit_node(item, 0, false, depth + 1, {indent, indent});
    out_ += '\n';
    const std::size_t child = indent + std::max<std::size_t>(options_.indent_sequence, 1);
    return emit_node(item, child, false, depth + 1, {child, indent});
  }

  // "[...]" or "{...}" with the entries in flow form; properties and comments are the caller's.
  bool emit_flow_body(const Node& node, std::size_t depth, std::size_t fold) {
    if (node.is_sequence()) {
      out_ += '[';
      bool first = true;
      for (const Node& stored : node.items()) {
        if (!first) out_ += ", ";
        first = false;
        const Node& item = place(stored);
        if (is_bare_empty_plain(item)) {
          // Nothing between two commas is no item at all; "null" reads back as the same (null) value.
          if (!check_depth(depth + 1)) return false;
          out_ += "null";
          continue;
        }
        if (!emit_flow(item, depth + 1, fold)) return false;
      }
      out_ += ']';
      return true;
    }
    out_ += '{';
    bool first = true;
    for (const PairEntry& entry : node.pairs()) {
      if (!first) out_ += ", ";
      first = false;
      const std::size_t key_start = out_.size();
      const Node& key = place_key(entry.key());
      if (!write_flow_key(key, depth)) return false;
      if (out_.size() - key_start > kMaxImplicitKeyBytes) {
        // Too long for an implicit key: the explicit "? " form has no length limit.
        out_.resize(key_start);
        out_ += "? ";
        write_flow_key(key, depth);
      }
      out_ += ": ";
      if (!emit_flow(place(entry.value()), depth + 1, fold)) return false;
    }
    out_ += '}';
    return true;
  }

  // A node inside a flow collection: no comments and no line feeds of its own.
  bool emit_flow(const Node& node, std::size_t depth, std::size_t fold) {
    if (!check_depth(depth)) return false;
    if (node.is_alias()) {
      write_alias(node);
      return true;
    }
    write_properties(node);
    if (node.is_null()) {
      out_ += "null";
      return true;
    }
    if (node.is_scalar()) {
      write_scalar(node, fold, PlainContext::Flow);
      return true;
    }
    return emit_flow_body(node, depth, fold);
  }

  // A key inside a flow mapping: collections are written in flow form as implicit keys, on one line.
  bool write_flow_key(const Node& key, std::size_t depth) {
    if (key.is_collection()) return emit_flow(key, depth + 1, 0);
    if (key.is_alias()) {
      write_alias(key);
      out_ += ' ';
      return true;
    }
    write_properties(key);
    if (key.is_null()) {
      out_ += "null";
    } else if (key.style() == ScalarStyle::Plain && is_short_word(key.value())) {
      out_ += key.value().view();
    } else {
      write_scalar(key, 0, PlainContext::Flow);
    }
    return true;
  }

  std::string& out_;
  const SerializeOptions options_;
  std::optional<SerializeError> error_;
  std::optional<AnchorPlacement> anchors_;  // set for a sorted document whose anchors may need moving
};

}  // namespace

std::optional<SerializeError> serialize_into(std::string& out, const Node& root, const SerializeOptions& options) {
  const std::size_t start = out.size();
  TreeWriter writer(out, options);
  if (writer.emit_document(root)) return std::nullopt;
  out.resize(start);
  return writer.error();
}

std::variant<std::string, SerializeError> serialize(const Node& root, const SerializeOptions& options) {
  std::string out;
  if (auto error = serialize_into(out, root, options)) return *error;
  return out;
}

std::variant<std::string, SerializeError> render_sequence_item(const Node& item, std::size_t indentation,
                                                               std::size_t depth) {
  std::string out;
  const SerializeOptions defaults;
  TreeWriter writer(out, defaults);
  if (!writer.emit_sequence_item(item, indentation, depth)) return *writer.error();
  return out;
}

std::variant<std::string, SerializeError> render_mapping_entry(const Node& key, const Node& value,
                                                               std::size_t indentation, std::size_t depth) {
  std::string out;
  const SerializeOptions defaults;
  TreeWriter writer(out, defaults);
  if (!writer.emit_block_entry(key, value, indentation, depth)) return *writer.error();
  return out;
}

}  // namespace velmo
