// Fuzz target for the tree serializer: every tree the loader builds from the input, written with options
// taken from the input's first byte, must load again and hold the same data (values as the core schema reads
// them, anchors, tags and aliases; styles, flow form and comments are layout and may change).
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "parser/load.hpp"
#include "schema/resolve_scalar.hpp"
#include "serializer/serializer.hpp"
#include "text/unicode.hpp"

namespace {

using velmo::Node;
using velmo::Resolved;

// The tag a reader resolves, with %-escapes decoded: a character that a verbatim tag cannot hold is written
// escaped, which names the same tag.
std::string full_tag(const velmo::Tag* tag) {
  if (tag == nullptr) return {};
  const std::string raw = (tag->handle == "!!" ? std::string("tag:yaml.org,2002:") : tag->handle) + tag->suffix;
  std::string decoded;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    const auto hex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
    if (raw[i] == '%' && i + 2 < raw.size() && hex(raw[i + 1]) && hex(raw[i + 2])) {
      decoded += static_cast<char>(std::stoi(raw.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      decoded += raw[i];
    }
  }
  return decoded;
}

Resolved meaning(const Node& node) {
  if (node.is_null()) return Resolved::null();
  if (node.style() == velmo::ScalarStyle::Plain) return velmo::resolve_core_scalar(node.value());
  return Resolved::string();
}

bool same_data(const Node& a, const Node& b);

bool same_scalar(const Node& a, const Node& b) {
  const Resolved x = meaning(a);
  const Resolved y = meaning(b);
  if (x.kind() != y.kind()) return false;
  switch (x.kind()) {
    case Resolved::Kind::Null: return true;
    case Resolved::Kind::Bool: return x.as_bool() == y.as_bool();
    case Resolved::Kind::Int: return x.as_int() == y.as_int();
    case Resolved::Kind::Float:
      return x.as_float() == y.as_float() || (std::isnan(x.as_float()) && std::isnan(y.as_float()));
    case Resolved::Kind::Str: return a.value() == b.value();
  }
  return false;
}

bool same_data(const Node& a, const Node& b) {
  const bool a_scalar = a.is_scalar() || a.is_null();
  const bool b_scalar = b.is_scalar() || b.is_null();
  if (a_scalar != b_scalar || (!a_scalar && a.kind() != b.kind())) return false;
  if (a.is_alias()) return a.alias_name() == b.alias_name();
  const std::string no_anchor;
  if ((a.anchor() ? *a.anchor() : no_anchor) != (b.anchor() ? *b.anchor() : no_anchor)) return false;
  if (full_tag(a.tag()) != full_tag(b.tag())) return false;
  if (a_scalar) return same_scalar(a, b);
  if (a.size() != b.size()) return false;
  if (a.is_sequence()) {
    for (std::size_t i = 0; i < a.size(); ++i) {
      if (!same_data(a.items()[i], b.items()[i])) return false;
    }
    return true;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (!same_data(a.pairs()[i].key(), b.pairs()[i].key())) return false;
    if (!same_data(a.pairs()[i].value(), b.pairs()[i].value())) return false;
  }
  return true;
}

// Whether some mapping in the tree holds two keys that `equal` calls equal.
template <class Equal>
bool has_equal_keys(const Node& node, const Equal& equal) {
  if (node.is_sequence()) {
    for (const Node& item : node.items()) {
      if (has_equal_keys(item, equal)) return true;
    }
  } else if (node.is_mapping()) {
    const auto& pairs = node.pairs();
    for (std::size_t i = 0; i < pairs.size(); ++i) {
      for (std::size_t j = i + 1; j < pairs.size(); ++j) {
        if (equal(pairs[i].key(), pairs[j].key())) return true;
      }
      if (has_equal_keys(pairs[i].key(), equal) || has_equal_keys(pairs[i].value(), equal)) return true;
    }
  }
  return false;
}

// Keys that differ in the tree but not in data (plain a:b next to "a:b") may legitimately be written alike,
// and then load as duplicates; such trees are left out.
bool has_data_equal_keys(const Node& node) { return has_equal_keys(node, same_data); }

// Whether every alias follows its anchor in document order. A replaced duplicate (null-like keys are not
// refused) can drop an anchor that a later alias still names; no text can say that.
bool aliases_resolve(const Node& node, std::vector<std::string>& anchors) {
  if (node.is_alias()) {
    return std::find(anchors.begin(), anchors.end(), node.alias_name()) != anchors.end();
  }
  if (const std::string* anchor = node.anchor()) anchors.push_back(*anchor);
  if (node.is_sequence()) {
    for (const Node& item : node.items()) {
      if (!aliases_resolve(item, anchors)) return false;
    }
  } else if (node.is_mapping()) {
    for (const auto& entry : node.pairs()) {
      if (!aliases_resolve(entry.key(), anchors) || !aliases_resolve(entry.value(), anchors)) return false;
    }
  }
  return true;
}

// Sorted output moves anchors: whichever of an anchored node and its aliases comes first is written in full.
// So sorted trees are compared with every alias replaced by the node it names, and mapping entries matched by
// key rather than by position. `names` maps each anchor name to its one node; `budget` bounds the expansion.
using Names = std::vector<std::pair<std::string, const Node*>>;

const Node* named(const Names& names, std::string_view name) {
  for (const auto& [n, node] : names) {
    if (n == name) return node;
  }
  return nullptr;
}

// Records every anchor; false when a name is anchored twice (such documents are written as stored). Sorted
// output may anchor a name twice on copies of one node (an anchored key is always written in full): with
// `repeats` the first copy stands for the name.
bool collect_names(const Node& node, Names& names, bool repeats = false) {
  if (node.is_alias()) return true;
  if (const std::string* anchor = node.anchor()) {
    if (named(names, *anchor) == nullptr) {
      names.emplace_back(*anchor, &node);
    } else if (!repeats) {
      return false;
    }
  }
  if (node.is_sequence()) {
    for (const Node& item : node.items()) {
      if (!collect_names(item, names, repeats)) return false;
    }
  } else if (node.is_mapping()) {
    for (const auto& entry : node.pairs()) {
      if (!collect_names(entry.key(), names, repeats) || !collect_names(entry.value(), names, repeats)) return false;
    }
  }
  return true;
}

// 1 when equal, 0 when not, -1 when the budget ran out (no verdict).
int same_expanded(const Node& x, const Node& y, const Names& xs, const Names& ys, std::size_t& budget, int depth) {
  if (budget-- == 0 || depth > 64) return -1;
  const Node* a = &x;
  const Node* b = &y;
  for (int hops = 0; a->is_alias() && hops < 8; ++hops) a = named(xs, a->alias_name());
  for (int hops = 0; b != nullptr && b->is_alias() && hops < 8; ++hops) b = named(ys, b->alias_name());
  if (a == nullptr || b == nullptr || a->is_alias() || b->is_alias()) return a == b ? 1 : 0;
  const bool a_scalar = a->is_scalar() || a->is_null();
  const bool b_scalar = b->is_scalar() || b->is_null();
  if (a_scalar != b_scalar || (!a_scalar && a->kind() != b->kind())) return 0;
  if (full_tag(a->tag()) != full_tag(b->tag())) return 0;
  if (a_scalar) return same_scalar(*a, *b) ? 1 : 0;
  if (a->size() != b->size()) return 0;
  if (a->is_sequence()) {
    for (std::size_t i = 0; i < a->size(); ++i) {
      const int same = same_expanded(a->items()[i], b->items()[i], xs, ys, budget, depth + 1);
      if (same != 1) return same;
    }
    return 1;
  }
  // Keys that differ only in their anchors are equal here, and then no match is certain: no verdict.
  for (const auto& entry : a->pairs()) {
    const velmo::PairEntry* match = nullptr;
    for (const auto& other : b->pairs()) {
      const int key = same_expanded(entry.key(), other.key(), xs, ys, budget, depth + 1);
      if (key == -1) return -1;
      if (key == 0) continue;
      if (match != nullptr) return -1;
      match = &other;
    }
    if (match == nullptr) return 0;
    const int value = same_expanded(entry.value(), match->value(), xs, ys, budget, depth + 1);
    if (value != 1) return value;
  }
  return 1;
}

// Whether some mapping holds two keys that are equal once aliases are followed (an alias key next to the key
// it names). The loader keeps them apart, but a sorted text may have to write the alias as the node itself,
// and then the two load as duplicates: such trees are left out of the sorted check, as has_data_equal_keys
// leaves trees out of the first. An exhausted budget counts as equal.
bool has_expanded_equal_keys(const Node& node, const Names& names, std::size_t& budget) {
  return has_equal_keys(node, [&](const Node& a, const Node& b) {
    return same_expanded(a, b, names, names, budget, 0) != 0;
  });
}

velmo::SerializeOptions options_from(std::uint8_t byte) {
  velmo::SerializeOptions options = velmo::SerializeOptions::with_indent(1 + (byte & 3));
  static constexpr std::size_t kWidths[] = {80, 0, 12, 30};
  options.width = kWidths[(byte >> 2) & 3];
  options.indent_offset = (byte >> 4) & 3;
  options.explicit_start = (byte & 0x40) != 0;
  options.explicit_end = (byte & 0x80) != 0;  // sort_keys is checked separately
  return options;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const velmo::SerializeOptions options = options_from(data[0]);
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  // Text reaches the loader as valid UTF-8 (from str, or decoded bytes); what the parser makes of malformed
  // bytes is its own business.
  if (!velmo::text::is_valid_utf8(text)) return 0;
  velmo::parser::LoadOptions load;
  load.max_depth = 64;
  auto loaded = velmo::parser::load_all(text, load);
  auto* roots = std::get_if<std::vector<Node>>(&loaded);
  if (roots == nullptr) return 0;
  // Only the first document: the loader lets an alias refer to an anchor of an earlier document, which a
  // document written on its own cannot do.
  if (roots->empty()) return 0;
  {
    const Node& root = roots->front();
    std::vector<std::string> anchors;
    if (has_data_equal_keys(root) || !aliases_resolve(root, anchors)) return 0;
    auto written = velmo::serialize(root, options);
    auto* yaml = std::get_if<std::string>(&written);
    if (yaml == nullptr) __builtin_trap();  // depth 64 is far below the serializer's limit
    auto again = velmo::parser::load_one(std::string_view(*yaml), load);
    auto* back = std::get_if<Node>(&again);
    if (back == nullptr || !same_data(root, *back)) __builtin_trap();

    // The same tree with sorted keys must load and hold the same data, aliases followed.
    Names names;
    if (!collect_names(root, names)) return 0;
    std::size_t check_budget = 100000;
    if (has_expanded_equal_keys(root, names, check_budget)) return 0;
    velmo::SerializeOptions sorted_options = options;
    sorted_options.sort_keys = true;
    auto sorted = velmo::serialize(root, sorted_options);
    auto* sorted_yaml = std::get_if<std::string>(&sorted);
    if (sorted_yaml == nullptr) return 0;  // writing an alias's node in full can go deeper than the limit
    auto sorted_again = velmo::parser::load_one(std::string_view(*sorted_yaml), load);
    auto* sorted_back = std::get_if<Node>(&sorted_again);
    if (sorted_back == nullptr) __builtin_trap();
    Names back_names;
    collect_names(*sorted_back, back_names, true);
    std::size_t budget = 100000;
    if (same_expanded(root, *sorted_back, names, back_names, budget, 0) == 0) __builtin_trap();
  }
  return 0;
}
