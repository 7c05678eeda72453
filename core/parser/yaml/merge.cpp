#include "parser/yaml/merge.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "tree/pairs.hpp"

namespace velmo::parser {

namespace {

// Calls visit(node) for the root and, in document order, every value of every mapping and every item of every
// sequence below it (mapping keys are not entered). `visit` may rewrite the entries of the node it is given:
// the children are read only after it returns. Stops early when `visit` returns false.
template <class Visit>
bool walk_values(Node& root, Visit&& visit) {
  std::vector<Node*> stack{&root};
  while (!stack.empty()) {
    Node* node = stack.back();
    stack.pop_back();
    if (!visit(*node)) return false;
    if (node->size() == 0) continue;
    if (node->is_mapping()) {
      Pairs& pairs = node->pairs();
      for (std::size_t i = pairs.size(); i-- > 0;) stack.push_back(&pairs[i].value());
    } else if (node->is_sequence()) {
      NodeList& items = node->items();
      for (std::size_t i = items.size(); i-- > 0;) stack.push_back(&items[i]);
    }
  }
  return true;
}

void drop_ranges(Node& root) {
  std::vector<Node*> stack{&root};
  while (!stack.empty()) {
    Node* node = stack.back();
    stack.pop_back();
    if (NodeMeta* meta = node->meta()) meta->set_source_range(std::nullopt);
    if (node->size() == 0) continue;
    if (node->is_mapping()) {
      for (PairEntry& entry : node->pairs()) {
        // Keys are read-only to keep a mapping's index right; a range takes no part in key identity or hashing.
        stack.push_back(const_cast<Node*>(&entry.key()));
        stack.push_back(&entry.value());
      }
    } else if (node->is_sequence()) {
      for (Node& item : node->items()) stack.push_back(&item);
    }
  }
}

std::optional<std::size_t> find_merge_key(const Pairs& pairs) noexcept {
  for (std::size_t i = 0; i < pairs.size(); ++i) {
    if (is_merge_key(pairs[i].key())) return i;
  }
  return std::nullopt;
}

// Nodes merging may still copy.
class CopyBudget {
 public:
  explicit CopyBudget(std::size_t nodes) noexcept : remaining_(nodes) {}
  // Takes the nodes of `node` from the budget; false (taking nothing) when they do not fit.
  bool take(const Node& node) {
    const std::size_t count = count_nodes(node, remaining_);
    if (count > remaining_) return false;
    remaining_ -= count;
    return true;
  }

 private:
  std::size_t remaining_;
};

using AnchorTable = std::unordered_map<std::string, Pairs>;

// Rewrites one mapping whose entry `merge_at` holds the merge key; false when the budget runs out.
bool merge_into(Node& mapping, std::size_t merge_at, const AnchorTable& anchors, CopyBudget& budget) {
  Pairs& own = mapping.pairs();
  const Node& merge_value = own[merge_at].value();
  std::vector<std::string_view> sources;
  if (merge_value.is_alias()) {
    sources.push_back(merge_value.alias_name());
  } else if (merge_value.is_sequence()) {
    for (const Node& item : merge_value.items()) {
      if (item.is_alias()) sources.push_back(item.alias_name());
    }
  }
  Pairs merged;
  for (std::string_view name : sources) {
    const auto source = anchors.find(std::string(name));
    if (source == anchors.end()) continue;
    for (const PairEntry& entry : source->second) {
      // The first source to bring a key wins, and the mapping's own keys (the merge key too) always win.
      if (own.contains(entry.key()) || merged.contains(entry.key())) continue;
      if (!budget.take(entry.key()) || !budget.take(entry.value())) return false;
      Node key = entry.key();
      Node value = entry.value();
      drop_ranges(key);
      drop_ranges(value);
      merged.insert(std::move(key), std::move(value));
    }
  }
  if (merged.empty()) return true;
  merged.reserve(merged.size() + own.size() - 1);
  for (std::size_t i = 0; i < own.size(); ++i) {
    if (i == merge_at) continue;
    // `own` is dropped below, so its keys may be moved out; they are distinct from each other and from every
    // merged key.
    merged.insert(std::move(const_cast<Node&>(own[i].key())), std::move(own[i].value()));
  }
  own = std::move(merged);
  return true;
}

}  // namespace

bool is_merge_key(const Node& key) noexcept {
  return key.is_scalar() && key.value().view() == "<<" && key.style() == ScalarStyle::Plain &&
         key.chomping() == Chomping::Clip && key.meta()->has_no_metadata();
}

std::size_t count_nodes(const Node& root, std::size_t limit) {
  std::size_t count = 0;
  std::vector<const Node*> stack{&root};
  while (!stack.empty() && count <= limit) {
    const Node* node = stack.back();
    stack.pop_back();
    ++count;
    if (node->is_mapping()) {
      for (const PairEntry& entry : node->pairs()) {
        stack.push_back(&entry.key());
        stack.push_back(&entry.value());
      }
    } else if (node->is_sequence()) {
      for (const Node& item : node->items()) stack.push_back(&item);
    }
  }
  return count;
}

bool resolve_merges(Node& root, std::size_t max_copied_nodes) {
  const bool nothing_to_merge = walk_values(root, [](Node& node) {
    return !(node.is_mapping() && node.size() != 0 && find_merge_key(node.pairs()));
  });
  if (nothing_to_merge) return true;

  CopyBudget budget(max_copied_nodes);
  // Copies are taken before anything is merged, so a recorded mapping keeps its own `<<` entry unmerged.
  AnchorTable anchors;
  const bool recorded = walk_values(root, [&](Node& node) {
    if (!node.is_mapping() || node.anchor() == nullptr) return true;
    if (!budget.take(node)) return false;
    anchors[*node.anchor()] = node.size() != 0 ? node.pairs() : Pairs();
    return true;
  });
  if (!recorded) return false;

  return walk_values(root, [&](Node& node) {
    if (!node.is_mapping() || node.size() == 0) return true;
    const auto merge_at = find_merge_key(node.pairs());
    return !merge_at || merge_into(node, *merge_at, anchors, budget);
  });
}

}  // namespace velmo::parser
