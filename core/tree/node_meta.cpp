#include "tree/node_meta.hpp"

namespace velmo {

void append_tag_text(std::string& out, const Tag& tag) {
  if (tag.handle == "!!") {
    out += "!!";
    out += tag.suffix;
  } else if (tag.handle == "!") {
    out += '!';
    out += tag.suffix;
  } else if (tag.handle.empty()) {
    if (tag.suffix == "!") {
      out += '!';
    } else {
      out += "!<";
      out += tag.suffix;
      out += '>';
    }
  } else {
    out += tag.handle;
    out += tag.suffix;
  }
}

std::string tag_text(const Tag& tag) {
  std::string out;
  append_tag_text(out, tag);
  return out;
}

NodeMeta::NodeMeta(const NodeMeta& other)
    : extra_(other.extra_ ? std::make_unique<Extra>(*other.extra_) : nullptr),
      start_(other.start_),
      end_(other.end_) {}

NodeMeta& NodeMeta::operator=(const NodeMeta& other) {
  if (this != &other) {
    extra_ = other.extra_ ? std::make_unique<Extra>(*other.extra_) : nullptr;
    start_ = other.start_;
    end_ = other.end_;
  }
  return *this;
}


NodeMeta::Extra& NodeMeta::extra() {
  if (!extra_) extra_ = std::make_unique<Extra>();
  return *extra_;
}

void NodeMeta::drop_extra_if_empty() noexcept {
  if (extra_ && !extra_->comment && !extra_->anchor && !extra_->tag) extra_.reset();
}

void NodeMeta::set_comment(std::optional<Comment> comment) {
  if (!comment && !extra_) return;
  extra().comment = std::move(comment);
  drop_extra_if_empty();
}

void NodeMeta::set_anchor(std::optional<std::string> anchor) {
  if (!anchor && !extra_) return;
  extra().anchor = std::move(anchor);
  drop_extra_if_empty();
}

void NodeMeta::set_tag(std::optional<Tag> tag) {
  if (!tag && !extra_) return;
  extra().tag = std::move(tag);
  drop_extra_if_empty();
}

bool operator==(const NodeMeta& a, const NodeMeta& b) {
  if (a.extra_ == nullptr || b.extra_ == nullptr) return a.extra_ == b.extra_;
  return a.extra_->comment == b.extra_->comment && a.extra_->anchor == b.extra_->anchor &&
         a.extra_->tag == b.extra_->tag;
}

}  // namespace velmo
