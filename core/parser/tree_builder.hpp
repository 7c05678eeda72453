// Turns parser events into document trees.
//
// The builder is the event handler of one load call: the driver hands it every event in order
// (`builder(event)`, so it also fits events::parse<Handler>). It keeps one frame per open collection on an
// explicit stack, so nesting costs no native stack, and stops building (but keeps accepting events) once a
// collection would nest deeper than `max_depth`. Sequence items and the keys and values of small mappings are
// staged on one scratch vector shared by all open frames and moved into exactly sized storage when the
// collection closes; the frame stack and the scratch vector are kept per thread between loads, so repeated loads
// reuse warm memory and the tree gets no growth reallocations.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "events/event.hpp"
#include "parser/comment_capture.hpp"
#include "tree/node.hpp"
#include "tree/shared_text.hpp"

namespace velmo::parser {

struct BuildOptions {
  std::uint64_t max_depth = 1000;
  bool allow_duplicate_keys = false;
  // Keep every completed document (load_all). Without it only the last top-level node is kept (load_one).
  bool collect_documents = false;
};

class TreeBuilder {
 public:
  // `source` is the text being parsed: scalar and comment texts that stand verbatim in it become views of it
  // instead of copies.
  TreeBuilder(SharedText source, BuildOptions options);
  ~TreeBuilder();
  TreeBuilder(const TreeBuilder&) = delete;
  TreeBuilder& operator=(const TreeBuilder&) = delete;

  // Inline, so that the driver's loop dispatches each event without a call.
  void operator()(const events::Event& event);

  // The last duplicate key found (scalar text, or the diagnostic rendering of a non-scalar key).
  const std::optional<std::string>& duplicate_key() const noexcept { return duplicate_key_; }
  bool depth_exceeded() const noexcept { return depth_exceeded_; }
  // True when some scalar's text was exactly "<<" (in any style).
  bool merge_key_seen() const noexcept { return merge_key_seen_; }

  // The last completed top-level node, if any.
  std::optional<Node> take_root();
  // One root per completed document (only with collect_documents).
  std::vector<Node> take_documents() noexcept { return std::move(documents_); }

  struct Frame;
  struct Scratch;

 private:
  void on_scalar(const events::Event& event);
  void on_alias(const events::Event& event);
  void on_collection_start(const events::Event& event, bool mapping);
  void on_collection_end(const events::Event& event);
  void on_comment(const events::Event& event);
  void on_document_end();

  void set_properties(NodeMeta& meta, const events::Event& event);
  void attach(Node&& node);
  void add_value(Frame& frame, Node&& value);
  void spill(Frame& frame);
  void note_duplicate(const Node& key);
  Frame& top() noexcept;
  SharedText share(std::string_view text);

  SharedText source_;
  SharedTextViews source_views_{source_};  // declared after source_, which it refers to
  BuildOptions options_;
  Scratch* scratch_;                  // the thread's scratch, or owned_scratch_ when that one is busy
  std::unique_ptr<Scratch> owned_scratch_;
  std::size_t depth_ = 0;             // open frames: scratch_->frames[0, depth_)
  std::optional<Node> root_;
  std::vector<Node> documents_;
  CommentSlots comments_;
  std::optional<std::string> duplicate_key_;
  bool depth_exceeded_ = false;
  bool merge_key_seen_ = false;
};

inline void TreeBuilder::operator()(const events::Event& event) {
  // Past the depth limit the tree is never returned: stop building, let the parser go on to find parse errors.
  if (depth_exceeded_) return;
  switch (event.type) {
    case events::EventType::Scalar:
      on_scalar(event);
      break;
    case events::EventType::MappingStart:
      on_collection_start(event, true);
      break;
    case events::EventType::SequenceStart:
      on_collection_start(event, false);
      break;
    case events::EventType::MappingEnd:
    case events::EventType::SequenceEnd:
      on_collection_end(event);
      break;
    case events::EventType::Alias:
      on_alias(event);
      break;
    case events::EventType::Comment:
      on_comment(event);
      break;
    case events::EventType::DocumentEnd:
      on_document_end();
      break;
    case events::EventType::StreamStart:
    case events::EventType::StreamEnd:
    case events::EventType::DocumentStart:
      break;
  }
}

}  // namespace velmo::parser
