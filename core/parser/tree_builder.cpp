#include "parser/tree_builder.hpp"

#include <algorithm>
#include <functional>
#include <iterator>

#include "parser/convert_tag.hpp"
#include "tree/pairs.hpp"

namespace velmo::parser {

// One open collection.
struct TreeBuilder::Frame {
  NodeMeta meta;  // anchor and tag; the comment comes from the collection slot when the frame closes
  Pairs pairs;    // mapping entries so far
  Node key;       // mapping key waiting for its value (when has_key)
  std::size_t items_begin = 0;  // sequence: position of the first item on the scratch vector
  std::size_t start = 0;        // byte offset of the start event
  std::size_t max_end = 0;      // largest end among the entries' ranges (when has_end)
  bool mapping = false;
  bool flow = false;
  bool has_key = false;
  bool has_end = false;
};

struct TreeBuilder::Scratch {
  std::vector<Frame> frames;
  std::vector<Node> items;  // staged sequence items of every open sequence, innermost last
  bool in_use = false;
};

namespace {

// Memory kept between loads is capped so one huge document does not pin its staging memory for good.
constexpr std::size_t kMaxKeptItems = std::size_t{1} << 16;
constexpr std::size_t kMaxKeptFrames = std::size_t{1} << 12;

thread_local TreeBuilder::Scratch t_scratch;

bool is_null_like(const Node& key) noexcept {
  if (key.is_null()) return true;
  if (!key.is_scalar()) return false;
  const std::string_view text = key.value().view();
  if (text.empty() || text == "~") return true;
  if (text.size() != 4) return false;
  constexpr std::string_view kNull = "null";
  for (std::size_t i = 0; i < 4; ++i) {
    if ((text[i] | 0x20) != kNull[i]) return false;
  }
  return true;
}

}  // namespace

TreeBuilder::TreeBuilder(SharedText source, BuildOptions options)
    : source_(std::move(source)), options_(options), scratch_(&t_scratch) {
  // A builder on a thread that is already building (a load nested in another) stages into its own scratch.
  if (scratch_->in_use) {
    owned_scratch_ = std::make_unique<Scratch>();
    scratch_ = owned_scratch_.get();
  }
  scratch_->in_use = true;
}

TreeBuilder::~TreeBuilder() {
  // A failed parse can leave collections open.
  scratch_->frames.clear();
  scratch_->items.clear();
  if (scratch_->items.capacity() > kMaxKeptItems) std::vector<Node>().swap(scratch_->items);
  if (scratch_->frames.capacity() > kMaxKeptFrames) std::vector<Frame>().swap(scratch_->frames);
  scratch_->in_use = false;
}

std::optional<Node> TreeBuilder::take_root() { return std::exchange(root_, std::nullopt); }

void TreeBuilder::operator()(const events::Event& event) {
  // Past the depth limit the tree is never returned: stop building, let the parser go on to find parse errors.
  if (depth_exceeded_) return;
  switch (event.type) {
    case events::EventType::Scalar:
      on_scalar(event);
      break;
    case events::EventType::MappingStart:
      on_collection_start(event, true);
      break;
    case events::EventType::SequenceStart:
      on_collection_start(event, false);
      break;
    case events::EventType::MappingEnd:
    case events::EventType::SequenceEnd:
      on_collection_end(event);
      break;
    case events::EventType::Alias:
      on_alias(event);
      break;
    case events::EventType::Comment:
      on_comment(event);
      break;
    case events::EventType::DocumentEnd:
      on_document_end();
      break;
    case events::EventType::StreamStart:
    case events::EventType::StreamEnd:
    case events::EventType::DocumentStart:
      break;
  }
}

SharedText TreeBuilder::share(std::string_view text) const {
  if (text.empty()) return {};
  const std::string_view source = source_.view();
  const std::less_equal<const char*> at_or_before;
  if (at_or_before(source.data(), text.data()) && at_or_before(text.data() + text.size(), source.data() + source.size())) {
    return source_.substr(static_cast<std::size_t>(text.data() - source.data()), text.size());
  }
  return SharedText::copy_of(text);
}

void TreeBuilder::set_properties(NodeMeta& meta, const events::Event& event) {
  if (event.anchor != 0) meta.set_anchor(std::string(event.anchor_name));
  if (event.has_tag) meta.set_tag(convert_tag(event.tag_prefix, event.tag_suffix));
}

void TreeBuilder::on_scalar(const events::Event& event) {
  if (event.value == "<<") merge_key_seen_ = true;
  const bool block = event.style == events::ScalarStyle::Literal || event.style == events::ScalarStyle::Folded;
  Node node = Node::scalar(share(event.value), static_cast<ScalarStyle>(event.style),
                           block ? static_cast<Chomping>(event.chomping) : Chomping::Clip);
  NodeMeta& meta = *node.meta();
  meta.set_source_range(SourceRange{event.start.offset, event.end.offset});
  if (auto comment = comments_.take_pending()) meta.set_comment(std::move(comment));
  set_properties(meta, event);
  attach(std::move(node));
}

void TreeBuilder::on_alias(const events::Event& event) {
  // An alias leaves the pending comment for the next node.
  attach(Node::alias(event.anchor_name));
}

void TreeBuilder::on_collection_start(const events::Event& event, bool mapping) {
  std::vector<Frame>& frames = scratch_->frames;
  if (frames.size() >= options_.max_depth) {
    depth_exceeded_ = true;
    return;
  }
  comments_.open_collection();
  Frame& frame = frames.emplace_back();
  frame.mapping = mapping;
  frame.flow = event.flow;
  frame.start = event.start.offset;
  frame.items_begin = scratch_->items.size();
  set_properties(frame.meta, event);
}

void TreeBuilder::on_collection_end(const events::Event& event) {
  std::vector<Frame>& frames = scratch_->frames;
  if (frames.empty()) return;
  Frame& frame = frames.back();
  Node node;
  if (frame.mapping) {
    node = Node::mapping(frame.flow);
    if (!frame.pairs.empty()) node.pairs() = std::move(frame.pairs);
  } else {
    node = Node::sequence(frame.flow);
    std::vector<Node>& staged = scratch_->items;
    const auto first = staged.begin() + static_cast<std::ptrdiff_t>(frame.items_begin);
    if (first != staged.end()) {
      std::vector<Node>& items = node.items();
      items.reserve(static_cast<std::size_t>(staged.end() - first));
      std::move(first, staged.end(), std::back_inserter(items));
      staged.erase(first, staged.end());
    }
  }
  NodeMeta& meta = *node.meta();
  meta = std::move(frame.meta);
  if (auto comment = comments_.take_collection()) meta.set_comment(std::move(comment));
  // A flow collection ends after its closing bracket; a block one where its last entry ends.
  const std::size_t end = frame.flow ? event.end.offset : frame.has_end ? frame.max_end : event.start.offset;
  meta.set_source_range(SourceRange{frame.start, end});
  frames.pop_back();
  attach(std::move(node));
}

void TreeBuilder::on_comment(const events::Event& event) {
  Comment comment{share(comment_text(event.value)), !event.inline_comment};
  if (comment.standalone) {
    comments_.set_pending(std::move(comment));
    return;
  }
  std::vector<Frame>& frames = scratch_->frames;
  if (frames.empty()) {
    if (root_) attach_if_absent(*root_, std::move(comment));
    return;
  }
  Frame& frame = frames.back();
  if (!frame.mapping) {
    if (scratch_->items.size() > frame.items_begin) {
      attach_if_absent(scratch_->items.back(), std::move(comment));
    } else {
      comments_.set_collection(std::move(comment));
    }
  } else if (frame.has_key) {
    attach_if_absent(frame.key, std::move(comment));
  } else if (!frame.pairs.empty()) {
    attach_if_absent(frame.pairs[frame.pairs.size() - 1].value(), std::move(comment));
  } else {
    comments_.set_collection(std::move(comment));
  }
}

void TreeBuilder::on_document_end() {
  // The root moves into the list rather than being copied: nothing can reach it afterwards except an inline
  // comment on a following "---" line, which belongs to no stored document and is dropped.
  if (options_.collect_documents && root_) {
    documents_.push_back(std::move(*root_));
    root_.reset();
  }
}

void TreeBuilder::attach(Node node) {
  std::vector<Frame>& frames = scratch_->frames;
  if (frames.empty()) {
    root_ = std::move(node);
    return;
  }
  Frame& frame = frames.back();
  if (const auto range = node.source_range()) {
    frame.max_end = frame.has_end ? std::max(frame.max_end, range->end) : range->end;
    frame.has_end = true;
  }
  if (!frame.mapping) {
    scratch_->items.push_back(std::move(node));
  } else if (!frame.has_key) {
    frame.key = std::move(node);
    frame.has_key = true;
  } else {
    frame.has_key = false;
    add_entry(frame, std::move(frame.key), std::move(node));
  }
}

void TreeBuilder::add_entry(Frame& frame, Node key, Node value) {
  Pairs& pairs = frame.pairs;
  if (options_.allow_duplicate_keys || is_null_like(key)) {
    pairs.insert(std::move(key), std::move(value));
    return;
  }
  if (key.is_scalar()) {
    // An equal scalar key has the same text, so the surviving first key names the duplicate.
    const auto result = pairs.insert(std::move(key), std::move(value));
    if (!result.inserted) duplicate_key_ = std::string(pairs[result.index].key().value().view());
    return;
  }
  // A complex key is named by its own rendering (its range differs from the first key's).
  if (const auto position = pairs.find_index(key)) {
    duplicate_key_ = debug_string(key);
    pairs[*position].value() = std::move(value);
    return;
  }
  pairs.insert(std::move(key), std::move(value));
}

}  // namespace velmo::parser
