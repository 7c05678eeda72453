#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "memory/tree_memory.hpp"
#include "tree/node_meta.hpp"
#include "tree/pairs.hpp"
#include "tree/tree_vector.hpp"
#include "tree/shared_text.hpp"

namespace velmo {

// The five variants of a node, numbered as they are fed to the hash.
enum class NodeKind : std::uint8_t { Scalar = 0, Mapping = 1, Sequence = 2, Null = 3, Alias = 4 };

class Node;

// The items of a sequence, inline in its node: one block in tree memory.
class NodeList : public TreeVector<Node> {
 public:
  using TreeVector<Node>::TreeVector;
};

// One node of a document tree: a tagged union of Scalar, Mapping, Sequence, Null and Alias.
//
// Every node has the same 40-byte size so that sequence items and mapping entries are stored inline: a header
// byte for the kind and one each for style, chomping and flow form, a 16-byte NodeMeta, and a 16-byte payload
// (the scalar text or alias name, or the items or entries: a pointer to their one block and two counts).
//
// Copying a node copies the whole subtree (a deep copy); scalar and comment texts are shared, not copied.
// An alias has no metadata: `meta()` returns null for it and the metadata readers report nothing.
class Node {
 public:
  Node() noexcept : kind_(NodeKind::Null) {}
  static Node scalar(SharedText value, ScalarStyle style = ScalarStyle::Plain, Chomping chomping = Chomping::Clip) {
    Node node(NodeKind::Scalar);
    ::new (static_cast<void*>(&node.text_)) SharedText(std::move(value));
    node.style_ = style;
    node.chomping_ = chomping;
    return node;
  }
  static Node mapping(bool flow_style = false) noexcept;
  static Node sequence(bool flow_style = false) noexcept;
  static Node null() noexcept { return Node(); }
  static Node alias(std::string_view name);

  Node(const Node& other);
  // Every member is trivially relocatable (a kind byte, 32-bit offsets, owning pointers), so a move copies the
  // bytes and leaves `other` an empty null node: moving nodes in and out of staging and storage costs no
  // per-kind work.
  Node(Node&& other) noexcept {
    std::memcpy(static_cast<void*>(this), static_cast<const void*>(&other), sizeof(Node));
    other.forget_payload();
  }
  Node& operator=(const Node& other);
  Node& operator=(Node&& other) noexcept;
  ~Node() {
    if (kind_ == NodeKind::Scalar || kind_ == NodeKind::Alias) {
      text_.~SharedText();
    } else if (kind_ != NodeKind::Null) {
      destroy();
    }
  }

  // Same as the copy constructor; spelled out where a deep copy is the point.
  Node deep_copy() const { return Node(*this); }

  NodeKind kind() const noexcept { return kind_; }
  bool is_scalar() const noexcept { return kind_ == NodeKind::Scalar; }
  bool is_mapping() const noexcept { return kind_ == NodeKind::Mapping; }
  bool is_sequence() const noexcept { return kind_ == NodeKind::Sequence; }
  bool is_null() const noexcept { return kind_ == NodeKind::Null; }
  bool is_alias() const noexcept { return kind_ == NodeKind::Alias; }
  bool is_collection() const noexcept { return is_mapping() || is_sequence(); }

  // Scalar fields (only on scalars).
  const SharedText& value() const noexcept { return is_scalar() ? text_ : empty_text(); }
  void set_value(SharedText value) noexcept { text_ = std::move(value); }
  ScalarStyle style() const noexcept { return style_; }
  void set_style(ScalarStyle style) noexcept { style_ = style; }
  Chomping chomping() const noexcept { return chomping_; }
  void set_chomping(Chomping chomping) noexcept { chomping_ = chomping; }

  // Collection fields (only on mappings and sequences).
  bool flow_style() const noexcept { return flow_style_; }
  void set_flow_style(bool flow) noexcept { flow_style_ = flow; }
  NodeList& items();
  const NodeList& items() const noexcept;
  Pairs& pairs();
  const Pairs& pairs() const noexcept;
  // Number of items or entries; 0 for the other kinds.
  std::size_t size() const noexcept;

  // Alias field (only on aliases).
  std::string_view alias_name() const noexcept { return is_alias() ? text_.view() : std::string_view(); }

  // Metadata; null for an alias, which never carries any.
  NodeMeta* meta() noexcept { return is_alias() ? nullptr : &meta_; }
  const NodeMeta* meta() const noexcept { return is_alias() ? nullptr : &meta_; }
  const Comment* comment() const noexcept { return is_alias() ? nullptr : meta_.comment(); }
  const std::string* anchor() const noexcept { return is_alias() ? nullptr : meta_.anchor(); }
  const Tag* tag() const noexcept { return is_alias() ? nullptr : meta_.tag(); }
  std::optional<SourceRange> source_range() const noexcept {
    return is_alias() ? std::nullopt : meta_.source_range();
  }

  // Equality as used for mapping keys: kind, texts, style, chomping, flow form, entries (in any order for
  // mappings) and comment/anchor/tag; never the source range.
  friend bool operator==(const Node& a, const Node& b);

 private:
  explicit Node(NodeKind kind) noexcept : kind_(kind) {}
  static const SharedText& empty_text() noexcept;
  // Leaves a null node without metadata, without releasing anything: what it owned has been moved away.
  void forget_payload() noexcept {
    kind_ = NodeKind::Null;
    ::new (static_cast<void*>(&meta_)) NodeMeta();
  }
  void destroy() noexcept;  // releases the payload of a non-null node
  // Gives back the text references of this collection's scalar children together (their texts become empty).
  void release_child_texts() noexcept;
  void destroy_payload() noexcept;
  void copy_payload_from(const Node& other);
  bool has_children() const noexcept;
  std::size_t child_slots() const noexcept;  // items, or keys and values of entries
  Node& child_slot(std::size_t i) noexcept;
  void free_descendants_iteratively() noexcept;

  NodeKind kind_;
  ScalarStyle style_ = ScalarStyle::Plain;
  Chomping chomping_ = Chomping::Clip;
  bool flow_style_ = false;
  NodeMeta meta_;
  // The active member follows kind_: text_ for Scalar and Alias, items_ for Sequence, pairs_ for Mapping, none
  // for Null.
  union {
    SharedText text_;                           // Scalar value, Alias name
    NodeList items_;                            // Sequence
    Pairs pairs_;                               // Mapping
  };
};

// Keyed hash of a node, consistent with ==. The key is drawn at random once per process, so values differ
// between runs and must never be stored.
std::uint64_t node_hash(const Node& node);

// Diagnostic rendering, e.g.
// Scalar { value: "a", style: Plain, chomping: Clip, meta: NodeMeta { comment: None, ..., source_range: Some(0..1) } }
std::string debug_string(const Node& node);
void append_debug(std::string& out, const Node& node);

}  // namespace velmo

#include "tree/pair_entry.hpp"
