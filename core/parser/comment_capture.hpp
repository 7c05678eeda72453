// Which comments survive a load and which node each one lands on.
//
// The tree builder owns one CommentSlots for the whole stream (documents share it). A standalone comment waits
// in the pending slot until the next scalar or collection claims it; an inline comment goes straight to the node
// it trails, or, when the innermost collection has nothing yet, waits in the collection slot until that
// collection closes. Neither slot is cleared at a document boundary.
#pragma once

#include <optional>
#include <utility>

#include "tree/node.hpp"

namespace velmo::parser {

class CommentSlots {
 public:
  // A standalone comment: replaces (drops) any comment still pending.
  void set_pending(Comment comment) noexcept { pending_ = std::move(comment); }
  // A scalar is created: it takes the pending comment, if any.
  std::optional<Comment> take_pending() noexcept { return std::exchange(pending_, std::nullopt); }

  // A collection opens: the pending comment moves into the collection slot, dropping what the slot held, even a
  // comment meant for an enclosing collection that is still open.
  void open_collection() noexcept { collection_ = std::exchange(pending_, std::nullopt); }
  // An inline comment for the innermost collection, which has no entry yet.
  void set_collection(Comment comment) noexcept { collection_ = std::move(comment); }
  // A collection closes: it takes the collection slot's comment, if any.
  std::optional<Comment> take_collection() noexcept { return std::exchange(collection_, std::nullopt); }

  const std::optional<Comment>& pending() const noexcept { return pending_; }
  const std::optional<Comment>& collection() const noexcept { return collection_; }

 private:
  std::optional<Comment> pending_;
  std::optional<Comment> collection_;
};

// Gives `node` the comment unless it already has one; an alias never takes a comment.
void attach_if_absent(Node& node, Comment comment);

// The comment text as stored: Unicode white space trimmed at both ends (an empty result is still a comment).
std::string_view comment_text(std::string_view raw) noexcept;

}  // namespace velmo::parser
