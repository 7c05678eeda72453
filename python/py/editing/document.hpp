// The YamlDocument instance: a document tree with the source text it was built from and its editing state.
#pragma once

#include <nanobind/nanobind.h>

#include <cstdint>
#include <optional>

#include "schema/schema_handle.hpp"
#include "sync/borrow_flag.hpp"
#include "tree/node.hpp"
#include "tree/shared_text.hpp"

namespace velmo::py {

struct YamlDocument {
  SchemaHandle schema;
  Node root;
  std::optional<SharedText> source;
  std::uint64_t revision = 0;
  bool dirty = false;
  bool splice_probed = false;
  BorrowFlag borrow;

  YamlDocument(SchemaHandle s, Node r, std::optional<SharedText> src)
      : schema(std::move(s)), root(std::move(r)), source(std::move(src)) {}

  static constexpr const char* kVersion = "1.2";
};

// A new YamlDocument object holding the given state.
nanobind::object make_document(SchemaHandle schema, Node root, std::optional<SharedText> source);

// The document behind `self`; raises TypeError for an instance that was never initialised.
YamlDocument& document_of(nanobind::handle self);

// Access held for the length of one call. Taking it never waits: a conflicting borrow raises RuntimeError at once.
class SharedAccess {
 public:
  explicit SharedAccess(YamlDocument& d);
  ~SharedAccess() { flag_.unshare(); }
  SharedAccess(const SharedAccess&) = delete;
  SharedAccess& operator=(const SharedAccess&) = delete;

 private:
  BorrowFlag& flag_;
};

class ExclusiveAccess {
 public:
  explicit ExclusiveAccess(YamlDocument& d);
  ~ExclusiveAccess() { flag_.unexclude(); }
  ExclusiveAccess(const ExclusiveAccess&) = delete;
  ExclusiveAccess& operator=(const ExclusiveAccess&) = delete;

 private:
  BorrowFlag& flag_;
};

}  // namespace velmo::py
