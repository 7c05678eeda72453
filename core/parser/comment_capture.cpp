#include "parser/comment_capture.hpp"

#include "text/unicode.hpp"

namespace velmo::parser {

void attach_if_absent(Node& node, Comment comment) {
  NodeMeta* meta = node.meta();
  if (meta == nullptr || meta->comment() != nullptr) return;
  meta->set_comment(std::move(comment));
}

std::string_view comment_text(std::string_view raw) noexcept { return text::trim_white_space(raw); }

}  // namespace velmo::parser
