// Small builders for serializer tests: trees written as nested calls instead of long construction code.
#pragma once

#include <initializer_list>
#include <string_view>
#include <utility>

#include "tree/node.hpp"

namespace velmo::fixtures {

inline Node scalar(std::string_view text, ScalarStyle style = ScalarStyle::Plain, Chomping chomping = Chomping::Clip) {
  return Node::scalar(SharedText::copy_of(text), style, chomping);
}
inline Node plain(std::string_view text) { return scalar(text); }
inline Node single_quoted(std::string_view text) { return scalar(text, ScalarStyle::SingleQuoted); }
inline Node double_quoted(std::string_view text) { return scalar(text, ScalarStyle::DoubleQuoted); }
inline Node literal(std::string_view text, Chomping chomping = Chomping::Clip) {
  return scalar(text, ScalarStyle::Literal, chomping);
}
inline Node folded(std::string_view text, Chomping chomping = Chomping::Clip) {
  return scalar(text, ScalarStyle::Folded, chomping);
}

inline Node map(std::initializer_list<std::pair<Node, Node>> entries, bool flow = false) {
  Node node = Node::mapping(flow);
  for (const auto& [key, value] : entries) node.pairs().insert(key, value);
  return node;
}
inline Node flow_map(std::initializer_list<std::pair<Node, Node>> entries) { return map(entries, true); }

inline Node seq(std::initializer_list<Node> items, bool flow = false) {
  Node node = Node::sequence(flow);
  for (const Node& item : items) node.items().push_back(item);
  return node;
}
inline Node flow_seq(std::initializer_list<Node> items) { return seq(items, true); }

// Metadata setters that return the node, for use inside the builders above.
inline Node anchored(Node node, std::string_view name) {
  node.meta()->set_anchor(std::string(name));
  return node;
}
inline Node tagged(Node node, std::string_view handle, std::string_view suffix) {
  node.meta()->set_tag(Tag{std::string(handle), std::string(suffix)});
  return node;
}
inline Node commented(Node node, std::string_view text, bool standalone) {
  node.meta()->set_comment(Comment{SharedText::copy_of(text), standalone});
  return node;
}

}  // namespace velmo::fixtures
