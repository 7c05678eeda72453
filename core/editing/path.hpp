// Paths into a document tree and the error values of path operations.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "tree/node.hpp"

namespace velmo {

// One step of a path: a mapping key (matched against scalar keys by text) or a sequence index (negative
// values count from the end).
struct Segment {
  std::variant<std::string, std::int64_t> value;

  static Segment key(std::string k) { return {std::move(k)}; }
  static Segment index(std::int64_t i) { return {i}; }
  bool is_key() const noexcept { return std::holds_alternative<std::string>(value); }
  const std::string& key_text() const { return std::get<std::string>(value); }
  std::int64_t index_value() const { return std::get<std::int64_t>(value); }
};

using Path = std::vector<Segment>;

// The display form of a segment: the key's text, or the index in decimal.
std::string segment_text(const Segment& s);

struct EditError {
  enum class Kind : std::uint8_t {
    MissingPath,
    CannotDescend,
    CreateNeedsMapping,
    CannotEditAlias,
    NotASequence,
    IndexOutOfRange,
    MissingTarget,
    CannotRenameRoot,
    CannotRenameComplexKey,
    RenameKeyExists,
    Failed,
    Detail,
  };
  Kind kind;
  std::string payload;  // the segment text (MissingPath, CannotDescend) or the detail text

  // "missing-path:b", "cannot-descend-into-scalar:0", "create-needs-mapping", ... or the detail itself.
  std::string display() const;
};

// The first entry of `mapping` whose key is a scalar with exactly this text, or null.
const PairEntry* find_key_by_text(const Node& mapping, std::string_view text) noexcept;

// Follows `path` from `root` without changing anything; aliases are never followed.
std::variant<const Node*, EditError> resolve_path(const Node& root, const Path& path);

}  // namespace velmo
