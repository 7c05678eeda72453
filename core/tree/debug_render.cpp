// The diagnostic rendering of nodes: record syntax such as `Alias { name: "x" }`, used as the text of
// non-scalar keys in messages and as dictionary keys for them.
#include <cstdio>

#include "tree/node.hpp"

namespace velmo {

namespace {

// Appends the text between double quotes, escaping quotes, backslashes and control characters.
void append_quoted(std::string& out, std::string_view text) {
  out += '"';
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    switch (byte) {
      case '"': out += "\\\""; continue;
      case '\\': out += "\\\\"; continue;
      case '\n': out += "\\n"; continue;
      case '\r': out += "\\r"; continue;
      case '\t': out += "\\t"; continue;
      case '\0': out += "\\0"; continue;
      default: break;
    }
    unsigned code = 0;
    if (byte < 0x20 || byte == 0x7f) {
      code = byte;
    } else if (byte == 0xc2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(text[i + 1]) <= 0x9f) {
      code = static_cast<unsigned char>(text[i + 1]);  // a C1 control, U+0080 to U+009F
      ++i;
    } else {
      out += static_cast<char>(byte);
      continue;
    }
    char escape[16];
    std::snprintf(escape, sizeof escape, "\\u{%x}", code);
    out += escape;
  }
  out += '"';
}

const char* style_name(ScalarStyle style) {
  switch (style) {
    case ScalarStyle::Plain: return "Plain";
    case ScalarStyle::SingleQuoted: return "SingleQuoted";
    case ScalarStyle::DoubleQuoted: return "DoubleQuoted";
    case ScalarStyle::Literal: return "Literal";
    case ScalarStyle::Folded: return "Folded";
  }
  return "Plain";
}

const char* chomping_name(Chomping chomping) {
  switch (chomping) {
    case Chomping::Strip: return "Strip";
    case Chomping::Clip: return "Clip";
    case Chomping::Keep: return "Keep";
  }
  return "Clip";
}

void append_meta(std::string& out, const NodeMeta& meta) {
  out += "NodeMeta { comment: ";
  if (const Comment* comment = meta.comment()) {
    out += "Some(Comment { text: ";
    append_quoted(out, comment->text);
    out += ", standalone: ";
    out += comment->standalone ? "true" : "false";
    out += " })";
  } else {
    out += "None";
  }
  out += ", anchor: ";
  if (const std::string* anchor = meta.anchor()) {
    out += "Some(";
    append_quoted(out, *anchor);
    out += ')';
  } else {
    out += "None";
  }
  out += ", tag: ";
  if (const Tag* tag = meta.tag()) {
    out += "Some(Tag { handle: ";
    append_quoted(out, tag->handle);
    out += ", suffix: ";
    append_quoted(out, tag->suffix);
    out += " })";
  } else {
    out += "None";
  }
  out += ", source_range: ";
  if (const auto range = meta.source_range()) {
    out += "Some(";
    out += std::to_string(range->start);
    out += "..";
    out += std::to_string(range->end);
    out += ')';
  } else {
    out += "None";
  }
  out += " }";
}

}  // namespace

void append_debug(std::string& out, const Node& node) {
  switch (node.kind()) {
    case NodeKind::Scalar:
      out += "Scalar { value: ";
      append_quoted(out, node.value());
      out += ", style: ";
      out += style_name(node.style());
      out += ", chomping: ";
      out += chomping_name(node.chomping());
      out += ", meta: ";
      append_meta(out, *node.meta());
      out += " }";
      return;
    case NodeKind::Mapping: {
      out += "Mapping { pairs: {";
      bool first = true;
      for (const PairEntry& entry : node.pairs()) {
        if (!first) out += ", ";
        first = false;
        append_debug(out, entry.key());
        out += ": ";
        append_debug(out, entry.value());
      }
      out += "}, flow_style: ";
      out += node.flow_style() ? "true" : "false";
      out += ", meta: ";
      append_meta(out, *node.meta());
      out += " }";
      return;
    }
    case NodeKind::Sequence: {
      out += "Sequence { items: [";
      bool first = true;
      for (const Node& item : node.items()) {
        if (!first) out += ", ";
        first = false;
        append_debug(out, item);
      }
      out += "], flow_style: ";
      out += node.flow_style() ? "true" : "false";
      out += ", meta: ";
      append_meta(out, *node.meta());
      out += " }";
      return;
    }
    case NodeKind::Null:
      out += "Null { meta: ";
      append_meta(out, *node.meta());
      out += " }";
      return;
    case NodeKind::Alias:
      out += "Alias { name: ";
      append_quoted(out, node.alias_name());
      out += " }";
      return;
  }
}

std::string debug_string(const Node& node) {
  std::string out;
  append_debug(out, node);
  return out;
}

}  // namespace velmo
