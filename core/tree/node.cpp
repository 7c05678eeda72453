#include "tree/node.hpp"

#include <cassert>
#include <new>

namespace velmo {

static_assert(sizeof(NodeMeta) == 16, "NodeMeta is a pointer and two 32-bit offsets");
static_assert(sizeof(Node) == 40, "nodes are stored inline in items and entries; keep them compact");

const SharedText& Node::empty_text() noexcept {
  static const SharedText empty;
  return empty;
}

Node Node::mapping(bool flow_style) noexcept {
  Node node(NodeKind::Mapping);
  ::new (&node.pairs_) Pairs();
  node.flow_style_ = flow_style;
  return node;
}

Node Node::sequence(bool flow_style) noexcept {
  Node node(NodeKind::Sequence);
  ::new (&node.items_) NodeList();
  node.flow_style_ = flow_style;
  return node;
}

Node Node::alias(std::string_view name) {
  Node node(NodeKind::Alias);
  ::new (&node.text_) SharedText(SharedText::copy_of(name));
  return node;
}

void Node::destroy_payload() noexcept {
  switch (kind_) {
    case NodeKind::Scalar:
    case NodeKind::Alias:
      text_.~SharedText();
      break;
    case NodeKind::Sequence:
      items_.~NodeList();
      break;
    case NodeKind::Mapping:
      pairs_.~Pairs();
      break;
    case NodeKind::Null:
      break;
  }
}

void Node::copy_payload_from(const Node& other) {
  switch (other.kind_) {
    case NodeKind::Scalar:
    case NodeKind::Alias:
      ::new (&text_) SharedText(other.text_);
      break;
    case NodeKind::Sequence:
      ::new (&items_) NodeList(other.items_);
      break;
    case NodeKind::Mapping:
      ::new (&pairs_) Pairs(other.pairs_);
      break;
    case NodeKind::Null:
      break;
  }
}

Node::Node(const Node& other)
    : kind_(other.kind_),
      style_(other.style_),
      chomping_(other.chomping_),
      flow_style_(other.flow_style_),
      meta_(other.meta_) {
  copy_payload_from(other);
}

Node& Node::operator=(const Node& other) {
  if (this != &other) *this = Node(other);
  return *this;
}

Node& Node::operator=(Node&& other) noexcept {
  if (this == &other) return *this;
  // `other` may live inside this node's subtree (node = std::move(node.items()[0])): detach it first.
  Node taken(std::move(other));
  this->~Node();
  ::new (static_cast<void*>(this)) Node(std::move(taken));
  return *this;
}

namespace {
// Nesting freed by plain recursion before the destructor switches to an explicit stack: deep enough that
// ordinary trees never pay for it, shallow enough for any thread's native stack.
constexpr unsigned kRecursiveFreeDepth = 256;
thread_local unsigned free_depth = 0;
}  // namespace

void Node::destroy() noexcept {
  if (!has_children()) {
    destroy_payload();
    return;
  }
  release_child_texts();
  if (free_depth >= kRecursiveFreeDepth) free_descendants_iteratively();
  ++free_depth;
  destroy_payload();
  --free_depth;
}

void Node::release_child_texts() noexcept {
  TextReleaser texts;
  const auto take = [&texts](Node& child) {
    if (child.kind_ == NodeKind::Scalar || child.kind_ == NodeKind::Alias) texts.take(child.text_);
  };
  if (kind_ == NodeKind::Sequence) {
    for (Node& item : items_) take(item);
  } else {
    for (PairEntry& entry : pairs_) {
      take(entry.key_);
      take(entry.value_);
    }
  }
}

bool Node::has_children() const noexcept {
  return (kind_ == NodeKind::Sequence && !items_.empty()) || (kind_ == NodeKind::Mapping && !pairs_.empty());
}

std::size_t Node::child_slots() const noexcept { return is_sequence() ? size() : 2 * size(); }

Node& Node::child_slot(std::size_t i) noexcept {
  if (is_sequence()) return items_[i];
  PairEntry& entry = pairs_[i / 2];
  return i % 2 == 0 ? entry.key_ : entry.value_;
}

void Node::free_descendants_iteratively() noexcept {
  // Depth-first over an explicit stack: a collection is freed once every collection below it has been, so
  // freeing it only destroys leaves and empty shells. The stack grows with the depth, never the width.
  struct Frame {
    Node* node;
    std::size_t next;
  };
  std::vector<Frame> stack;
  stack.push_back({this, 0});
  while (!stack.empty()) {
    Frame& frame = stack.back();
    Node* nested = nullptr;
    const std::size_t slots = frame.node->child_slots();
    while (frame.next < slots && nested == nullptr) {
      Node& child = frame.node->child_slot(frame.next++);
      if (child.has_children()) nested = &child;
    }
    if (nested != nullptr) {
      stack.push_back({nested, 0});
      continue;
    }
    Node* done = frame.node;
    stack.pop_back();
    if (done == this) break;  // the destructor frees this node's own children
    if (done->is_sequence()) {
      done->items_ = NodeList();
    } else {
      done->pairs_ = Pairs();
    }
  }
}

NodeList& Node::items() {
  assert(is_sequence());
  return items_;
}

const NodeList& Node::items() const noexcept {
  static const NodeList none;
  return is_sequence() ? items_ : none;
}

Pairs& Node::pairs() {
  assert(is_mapping());
  return pairs_;
}

const Pairs& Node::pairs() const noexcept {
  static const Pairs none;
  return is_mapping() ? pairs_ : none;
}

std::size_t Node::size() const noexcept {
  if (is_sequence()) return items_.size();
  if (is_mapping()) return pairs_.size();
  return 0;
}

}  // namespace velmo
