#include "parser/tree_builder.hpp"

#include <algorithm>
#include <functional>

#include "parser/convert_tag.hpp"
#include "tree/pairs.hpp"

namespace velmo::parser {

// One open collection. Frames are reused: a closed frame stays in the pool for the next collection.
//
// Its staged nodes are scratch nodes [staged_begin, end): a sequence's items, or a mapping's keys and values in
// turn (an odd count means a key waits for its value). A mapping stages as long as it is small (distinct keys
// found by a linear scan, as Pairs itself does for small mappings) and lands in an exactly sized Pairs when it
// closes; one that outgrows the stage spills into `pairs`, whose hash index keeps large mappings linear to
// build. A spilled mapping stages only its waiting key.
struct TreeBuilder::Frame {
  NodeMeta meta;  // anchor and tag; the comment comes from the collection slot when the frame closes
  Pairs pairs;    // entries of a spilled mapping
  std::size_t staged_begin = 0;
  std::size_t start = 0;    // byte offset of the start event
  std::size_t max_end = 0;  // largest end among the entries' ranges (when has_end)
  bool mapping = false;
  bool flow = false;
  bool has_end = false;
  bool spilled = false;
};

struct TreeBuilder::Scratch {
  std::vector<Frame> frames;
  TreeVector<Node> staged;  // staged nodes of every open frame, innermost last
  bool in_use = false;
};

namespace {

// Memory kept between loads is capped so one huge document does not pin its staging memory for good.
constexpr std::size_t kMaxKeptStaged = std::size_t{1} << 16;
constexpr std::size_t kMaxKeptFrames = std::size_t{1} << 12;
// Entries a mapping stages before it spills into a Pairs (which indexes mappings larger than this).
constexpr std::size_t kMaxStagedEntries = Pairs::kIndexThreshold;

// Node equality with the cheap, usual mismatches (kind, scalar text) decided inline.
inline bool same_key(const Node& a, const Node& b) {
  if (a.kind() != b.kind()) return false;
  if (a.is_scalar() && a.value().view() != b.value().view()) return false;
  return a == b;
}

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
  // A failed parse can leave collections open; their frames are dropped rather than kept with content.
  if (depth_ != 0) scratch_->frames.clear();
  scratch_->staged.clear();
  if (scratch_->staged.capacity() > kMaxKeptStaged) TreeVector<Node>().swap(scratch_->staged);
  if (scratch_->frames.size() > kMaxKeptFrames) std::vector<Frame>().swap(scratch_->frames);
  scratch_->in_use = false;
}

TreeBuilder::Frame& TreeBuilder::top() noexcept { return scratch_->frames[depth_ - 1]; }

std::optional<Node> TreeBuilder::take_root() { return std::exchange(root_, std::nullopt); }

SharedText TreeBuilder::share(std::string_view text) {
  if (text.empty()) return {};
  const std::string_view source = source_.view();
  const std::less_equal<const char*> at_or_before;
  if (at_or_before(source.data(), text.data()) && at_or_before(text.data() + text.size(), source.data() + source.size())) {
    return source_views_.substr(static_cast<std::size_t>(text.data() - source.data()), text.size());
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
  if (comments_.pending()) meta.set_comment(comments_.take_pending());
  if (event.anchor != 0 || event.has_tag) set_properties(meta, event);
  attach(std::move(node));
}

void TreeBuilder::on_alias(const events::Event& event) {
  // An alias leaves the pending comment for the next node.
  attach(Node::alias(event.anchor_name));
}

void TreeBuilder::on_collection_start(const events::Event& event, bool mapping) {
  if (depth_ >= options_.max_depth) {
    depth_exceeded_ = true;
    return;
  }
  comments_.open_collection();
  std::vector<Frame>& frames = scratch_->frames;
  if (depth_ == frames.size()) frames.emplace_back();
  Frame& frame = frames[depth_++];
  frame.meta = NodeMeta();
  frame.staged_begin = scratch_->staged.size();
  frame.start = event.start.offset;
  frame.max_end = 0;
  frame.mapping = mapping;
  frame.flow = event.flow;
  frame.has_end = false;
  frame.spilled = false;
  set_properties(frame.meta, event);
}

void TreeBuilder::on_collection_end(const events::Event& event) {
  if (depth_ == 0) return;
  Frame& frame = top();
  TreeVector<Node>& staged = scratch_->staged;
  const std::size_t first = frame.staged_begin;
  Node node = frame.mapping ? Node::mapping(frame.flow) : Node::sequence(frame.flow);
  // Staged nodes move into the collection's block as bytes; their staging slots are then dropped unrun.
  if (frame.mapping) {
    const std::size_t entries = (staged.size() - first) / 2;
    staged.erase(first + 2 * entries, staged.size());  // a key still waiting for its value (none normally)
    if (frame.spilled) {
      node.pairs() = std::move(frame.pairs);
    } else if (entries != 0) {
      // Staged keys were checked against each other as they came.
      node.pairs().append_relocated(staged.data() + first, entries);
      staged.discard_relocated(first);
    }
  } else if (staged.size() != first) {
    node.items().append_relocated(staged.data() + first, staged.size() - first);
    staged.discard_relocated(first);
  }
  NodeMeta& meta = *node.meta();
  meta = std::move(frame.meta);
  if (comments_.collection()) meta.set_comment(comments_.take_collection());
  // A flow collection ends after its closing bracket; a block one where its last entry ends.
  const std::size_t end = frame.flow ? event.end.offset : frame.has_end ? frame.max_end : event.start.offset;
  meta.set_source_range(SourceRange{frame.start, end});
  --depth_;
  attach(std::move(node));
}

void TreeBuilder::on_comment(const events::Event& event) {
  Comment comment{share(comment_text(event.value)), !event.inline_comment};
  if (comment.standalone) {
    comments_.set_pending(std::move(comment));
    return;
  }
  if (depth_ == 0) {
    if (root_) attach_if_absent(*root_, std::move(comment));
    return;
  }
  Frame& frame = top();
  TreeVector<Node>& staged = scratch_->staged;
  const std::size_t count = staged.size() - frame.staged_begin;
  // The last item, the waiting key, or the last entry's value: the last staged node in each case.
  if (count != 0) {
    attach_if_absent(staged.back(), std::move(comment));
  } else if (frame.spilled) {
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

void TreeBuilder::attach(Node&& node) {
  if (depth_ == 0) {
    root_ = std::move(node);
    return;
  }
  Frame& frame = top();
  if (const auto range = node.source_range()) {
    frame.max_end = frame.has_end ? std::max(frame.max_end, range->end) : range->end;
    frame.has_end = true;
  }
  TreeVector<Node>& staged = scratch_->staged;
  // An item, or a key (an even count of staged mapping nodes: no key is waiting), is staged as it is.
  if (!frame.mapping || (staged.size() - frame.staged_begin) % 2 == 0) {
    staged.push_back(std::move(node));
    return;
  }
  add_value(frame, std::move(node));
}

void TreeBuilder::add_value(Frame& frame, Node&& value) {
  TreeVector<Node>& staged = scratch_->staged;
  if (!frame.spilled) {
    const Node& key = staged.back();
    const std::size_t last_key = staged.size() - 1;
    for (std::size_t i = frame.staged_begin; i < last_key; i += 2) {
      if (same_key(staged[i], key)) {
        // Null-like keys are exempt from the check, but an equal key still only gets the new value.
        if (!options_.allow_duplicate_keys && !is_null_like(key)) note_duplicate(key);
        staged[i + 1] = std::move(value);
        staged.pop_back();
        return;
      }
    }
    if (last_key - frame.staged_begin < 2 * kMaxStagedEntries) {
      staged.push_back(std::move(value));
      return;
    }
    spill(frame);
  }
  // Looked up only now: spilling moves the waiting key within the staging vector.
  const Node& key = staged.back();
  // Null-like keys are exempt from the check, but an equal key still only gets the new value.
  const bool check = !options_.allow_duplicate_keys && !is_null_like(key);
  Pairs& pairs = frame.pairs;
  if (const auto position = pairs.find_index(key)) {
    if (check) note_duplicate(key);
    pairs[*position].value() = std::move(value);
  } else {
    pairs.append_distinct(std::move(staged.back()), std::move(value));
  }
  staged.pop_back();
}

// Moves a mapping's staged entries (all but the waiting key) into its Pairs.
void TreeBuilder::spill(Frame& frame) {
  TreeVector<Node>& staged = scratch_->staged;
  const std::size_t first = frame.staged_begin;
  const std::size_t last_key = staged.size() - 1;
  frame.pairs = Pairs();
  frame.pairs.reserve(2 * kMaxStagedEntries);
  frame.pairs.append_relocated(staged.data() + first, (last_key - first) / 2);
  // The waiting key takes the first relocated slot.
  ::new (static_cast<void*>(staged.data() + first)) Node(std::move(staged[last_key]));
  staged.discard_relocated(first + 1);
  frame.spilled = true;
}

void TreeBuilder::note_duplicate(const Node& key) {
  // A scalar key is named by its text, any other by its rendering (with its own range, not the first key's).
  duplicate_key_ = key.is_scalar() ? std::string(key.value().view()) : debug_string(key);
}

}  // namespace velmo::parser
