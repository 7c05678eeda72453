#include "editing/path.hpp"

namespace velmo {

std::string segment_text(const Segment& s) {
  return s.is_key() ? s.key_text() : std::to_string(s.index_value());
}

std::string EditError::display() const {
  switch (kind) {
    case Kind::MissingPath: return "missing-path:" + payload;
    case Kind::CannotDescend: return "cannot-descend-into-scalar:" + payload;
    case Kind::CreateNeedsMapping: return "create-needs-mapping";
    case Kind::CannotEditAlias: return "cannot-edit-alias";
    case Kind::NotASequence: return "not-a-sequence";
    case Kind::IndexOutOfRange: return "index-out-of-range-edit";
    case Kind::MissingTarget: return "missing-path";
    case Kind::CannotRenameRoot: return "cannot-rename-root";
    case Kind::CannotRenameComplexKey: return "cannot-rename-complex-key";
    case Kind::RenameKeyExists: return "rename-key-exists";
    case Kind::Failed: return "edit-error";
    case Kind::Detail: return payload;
  }
  return payload;
}

const PairEntry* find_key_by_text(const Node& mapping, std::string_view text) noexcept {
  for (const PairEntry& e : mapping.pairs()) {
    if (e.key().is_scalar() && e.key().value().view() == text) return &e;
  }
  return nullptr;
}

std::variant<const Node*, EditError> resolve_path(const Node& root, const Path& path) {
  const Node* current = &root;
  for (const Segment& seg : path) {
    if (current->is_mapping()) {
      if (!seg.is_key()) return EditError{EditError::Kind::CannotDescend, segment_text(seg)};
      const PairEntry* e = find_key_by_text(*current, seg.key_text());
      if (e == nullptr) return EditError{EditError::Kind::MissingPath, seg.key_text()};
      current = &e->value();
    } else if (current->is_sequence()) {
      if (seg.is_key()) return EditError{EditError::Kind::CannotDescend, seg.key_text()};
      std::int64_t i = seg.index_value();
      auto n = static_cast<std::int64_t>(current->size());
      std::int64_t at = i < 0 ? n + i : i;
      if (at < 0 || at >= n) return EditError{EditError::Kind::MissingPath, segment_text(seg)};
      current = &current->items()[static_cast<std::size_t>(at)];
    } else {
      return EditError{EditError::Kind::CannotDescend, segment_text(seg)};
    }
  }
  return current;
}

}  // namespace velmo
