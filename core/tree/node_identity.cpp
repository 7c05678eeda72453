// Equality and hashing of nodes: together they are the key identity of mapping entries.
#include "tree/keyed_hasher.hpp"
#include "tree/node.hpp"

namespace velmo {

bool operator==(const Node& a, const Node& b) {
  if (a.kind_ != b.kind_) return false;
  switch (a.kind_) {
    case NodeKind::Scalar:
      return a.style_ == b.style_ && a.chomping_ == b.chomping_ && a.text_ == b.text_ && a.meta_ == b.meta_;
    case NodeKind::Alias:
      return a.text_ == b.text_;
    case NodeKind::Null:
      return a.meta_ == b.meta_;
    case NodeKind::Sequence: {
      if (a.flow_style_ != b.flow_style_ || !(a.meta_ == b.meta_)) return false;
      const auto& left = a.items();
      const auto& right = b.items();
      if (left.size() != right.size()) return false;
      for (std::size_t i = 0; i < left.size(); ++i) {
        if (!(left[i] == right[i])) return false;
      }
      return true;
    }
    case NodeKind::Mapping: {
      if (a.flow_style_ != b.flow_style_ || !(a.meta_ == b.meta_)) return false;
      const Pairs& left = a.pairs();
      const Pairs& right = b.pairs();
      if (left.size() != right.size()) return false;
      // Keys are distinct within a mapping, so equal sizes plus every left entry found on the right suffices.
      for (const PairEntry& entry : left) {
        const Node* other = right.find(entry.key());
        if (other == nullptr || !(*other == entry.value())) return false;
      }
      return true;
    }
  }
  return false;
}

namespace {

void hash_meta(KeyedHasher& hasher, const NodeMeta& meta) {
  const Comment* comment = meta.comment();
  hasher.add_u64(comment != nullptr);
  if (comment) {
    hasher.add_bytes(comment->text);
    hasher.add_u64(comment->standalone);
  }
  const std::string* anchor = meta.anchor();
  hasher.add_u64(anchor != nullptr);
  if (anchor) hasher.add_bytes(*anchor);
  const Tag* tag = meta.tag();
  hasher.add_u64(tag != nullptr);
  if (tag) {
    hasher.add_bytes(tag->handle);
    hasher.add_bytes(tag->suffix);
  }
}

void hash_into(KeyedHasher& hasher, const Node& node) {
  hasher.add_u64(static_cast<std::uint64_t>(node.kind()));
  switch (node.kind()) {
    case NodeKind::Scalar:
      hasher.add_bytes(node.value());
      hasher.add_u64(0xff);  // separator between the text and what follows
      hasher.add_u64(static_cast<std::uint64_t>(node.style()));
      hash_meta(hasher, *node.meta());
      hasher.add_u64(static_cast<std::uint64_t>(node.chomping()));
      break;
    case NodeKind::Mapping: {
      // Equality ignores entry order, so entries are combined order-independently (a wrapping sum of
      // per-entry hashes) to keep equal mappings hashing alike.
      std::uint64_t entries = 0;
      for (const PairEntry& entry : node.pairs()) {
        KeyedHasher entry_hasher;
        hash_into(entry_hasher, entry.key());
        hash_into(entry_hasher, entry.value());
        entries += entry_hasher.finish();
      }
      hasher.add_u64(node.pairs().size());
      hasher.add_u64(entries);
      hash_meta(hasher, *node.meta());
      hasher.add_u64(node.flow_style());
      break;
    }
    case NodeKind::Sequence:
      hasher.add_u64(node.items().size());
      for (const Node& item : node.items()) hash_into(hasher, item);
      hash_meta(hasher, *node.meta());
      hasher.add_u64(node.flow_style());
      break;
    case NodeKind::Null:
      hash_meta(hasher, *node.meta());
      break;
    case NodeKind::Alias:
      hasher.add_bytes(node.alias_name());
      break;
  }
}

}  // namespace

std::uint64_t node_hash(const Node& node) {
  KeyedHasher hasher;
  hash_into(hasher, node);
  return hasher.finish();
}

}  // namespace velmo
