#include "parser/yaml/merge.hpp"

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "tree/pairs.hpp"

namespace velmo::parser {

namespace {

// Calls visit(node) for the root and, in document order, every value of every mapping and every item of every
// sequence below it (mapping keys are not entered). `visit` may rewrite the entries of the node it is given:
// the children are read only after it returns.
template <class Visit>
void walk_values(Node& root, Visit&& visit) {
  std::vector<Node*> stack{&root};
  while (!stack.empty()) {
    Node* node = stack.back();
    stack.pop_back();
    visit(*node);
    if (node->is_mapping()) {
      Pairs& pairs = node->pairs();
      for (std::size_t i = pairs.size(); i-- > 0;) stack.push_back(&pairs[i].value());
    } else if (node->is_sequence()) {
      std::vector<Node>& items = node->items();
      for (std::size_t i = items.size(); i-- > 0;) stack.push_back(&items[i]);
    }
  }
}

void drop_ranges(Node& root) {
  std::vector<Node*> stack{&root};
  while (!stack.empty()) {
    Node* node = stack.back();
    stack.pop_back();
    if (NodeMeta* meta = node->meta()) meta->set_source_range(std::nullopt);
    if (node->is_mapping() && node->size() != 0) {
      for (PairEntry& entry : node->pairs()) {
        stack.push_back(const_cast<Node*>(&entry.key()));  // a range is not part of key identity
        stack.push_back(&entry.value());
      }
    } else if (node->is_sequence() && node->size() != 0) {
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

using AnchorTable = std::unordered_map<std::string, Pairs>;

// Rewrites one mapping whose entry `merge_at` holds the merge key.
void merge_into(Node& mapping, std::size_t merge_at, const AnchorTable& anchors) {
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
      Node key = entry.key();
      Node value = entry.value();
      drop_ranges(key);
      drop_ranges(value);
      merged.insert(std::move(key), std::move(value));
    }
  }
  if (merged.empty()) return;
  merged.reserve(merged.size() + own.size() - 1);
  for (std::size_t i = 0; i < own.size(); ++i) {
    if (i == merge_at) continue;
    // Own keys are distinct from each other and from every merged key.
    merged.insert(Node(std::move(const_cast<Node&>(own[i].key()))), std::move(own[i].value()));
  }
  own = std::move(merged);
}

}  // namespace

bool is_merge_key(const Node& key) noexcept {
  return key.is_scalar() && key.value().view() == "<<" && key.style() == ScalarStyle::Plain &&
         key.chomping() == Chomping::Clip && key.meta()->has_no_metadata();
}

void resolve_merges(Node& root) {
  bool any = false;
  walk_values(root, [&](Node& node) {
    if (!any && node.is_mapping() && node.size() != 0 && find_merge_key(node.pairs())) any = true;
  });
  if (!any) return;

  // Copies are taken before anything is merged, so a recorded mapping keeps its own `<<` entry unmerged.
  AnchorTable anchors;
  walk_values(root, [&](Node& node) {
    if (!node.is_mapping()) return;
    if (const std::string* anchor = node.anchor()) anchors[*anchor] = node.size() != 0 ? node.pairs() : Pairs();
  });

  walk_values(root, [&](Node& node) {
    if (!node.is_mapping() || node.size() == 0) return;
    if (const auto merge_at = find_merge_key(node.pairs())) merge_into(node, *merge_at, anchors);
  });
}

}  // namespace velmo::parser
