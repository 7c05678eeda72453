// A compact record of a stream's data events, for loads that go straight to plain values.
//
// Building a document tree costs an allocation per collection and a walk to free it. When a load only wants
// values, the parser's events can instead be written onto a flat tape (a few bytes per event, in vectors a
// thread reuses from call to call) with the interpreter lock released, and values built from the tape
// afterwards. The tape covers the common case only: a stream with a merge key ("<<") or an alias, or one that
// nests deeper than the depth limit, is not recorded (`Outcome::NeedsTree`), and the caller loads it through the
// tree, which implements those rules.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "errors/load_error.hpp"
#include "events/event.hpp"

namespace velmo::tape {

struct Entry {
  enum class Kind : std::uint8_t { Scalar, MappingStart, SequenceStart, End, DocumentEnd };
  Kind kind;
  events::ScalarStyle style;  // Scalar
  bool in_store;              // Scalar: the text is in the tape's own store, not in the source
  std::uint32_t offset;       // Scalar: where the text starts in the source or the store
  std::uint32_t size;         // Scalar: its length; collections: the number of direct children (items, or keys
                              // and values), filled in when the collection ends
};

class EventTape {
 public:
  enum class Outcome : std::uint8_t { Recorded, NeedsTree, Failed };

  // Records the data events of `source`. Failed: the parse failed, and `error()` holds the same LoadError a tree
  // load would give (a parse failure takes precedence over every other load error).
  Outcome record(std::string_view source, std::uint64_t max_depth);

  const std::vector<Entry>& entries() const noexcept { return entries_; }
  std::string_view text(const Entry& e) const noexcept {
    return e.in_store ? std::string_view(store_).substr(e.offset, e.size) : source_.substr(e.offset, e.size);
  }
  const std::optional<LoadError>& error() const noexcept { return error_; }

  // Releases the recorded entries but keeps the memory for the next recording.
  void clear() noexcept;

 private:
  // Writes one event onto the tape; false when the stream needs the tree (a merge key, an alias, too deep).
  bool add(const events::Event& ev, std::uint64_t max_depth);

  std::string_view source_;
  std::vector<Entry> entries_;
  std::vector<std::uint32_t> open_;  // positions of the open collections' start entries
  std::string store_;
  std::optional<LoadError> error_;
};

// The calling thread's tape, or a fresh one when the thread's is in use (a load started from within a load).
class TapeLease {
 public:
  TapeLease();
  ~TapeLease();
  TapeLease(const TapeLease&) = delete;
  TapeLease& operator=(const TapeLease&) = delete;
  EventTape& operator*() noexcept { return *tape_; }
  EventTape* operator->() noexcept { return tape_; }

 private:
  EventTape* tape_;
  std::unique_ptr<EventTape> owned_;
};

}  // namespace velmo::tape
