#include "tape/event_tape.hpp"

#include <memory>

#include "events/parser.hpp"
#include "events/plain_block_parser.hpp"
#include "parser/parser_lease.hpp"
#include "tree/shared_text.hpp"

namespace velmo::tape {
namespace {

struct ThreadTape {
  EventTape tape;
  bool in_use = false;
};
thread_local ThreadTape t_tape;

// Keeps a reused tape's memory from growing without bound after one huge load.
constexpr std::size_t kKeepEntries = std::size_t{1} << 22;

}  // namespace

void EventTape::clear() noexcept {
  if (entries_.capacity() > kKeepEntries) {
    std::vector<Entry>().swap(entries_);
    std::string().swap(store_);
  }
  entries_.clear();
  open_.clear();
  store_.clear();
  error_.reset();
  source_ = {};
}

bool EventTape::add(const events::Event& ev, std::uint64_t max_depth) {
  switch (ev.type) {
    case events::EventType::Scalar: {
      const std::string_view v = ev.value;
      if (v == "<<") return false;
      Entry e{Entry::Kind::Scalar, ev.style, false, 0, static_cast<std::uint32_t>(v.size())};
      const char* base = source_.data();
      if (v.data() >= base && v.data() + v.size() <= base + source_.size()) {
        e.offset = static_cast<std::uint32_t>(v.data() - base);
      } else {
        e.in_store = true;
        e.offset = static_cast<std::uint32_t>(store_.size());
        store_.append(v);
      }
      entries_.push_back(e);
      if (!open_.empty()) ++entries_[open_.back()].size;
      return true;
    }
    case events::EventType::MappingStart:
    case events::EventType::SequenceStart:
      if (open_.size() >= max_depth) return false;
      if (!open_.empty()) ++entries_[open_.back()].size;
      open_.push_back(static_cast<std::uint32_t>(entries_.size()));
      entries_.push_back({ev.type == events::EventType::MappingStart ? Entry::Kind::MappingStart
                                                                       : Entry::Kind::SequenceStart,
                          events::ScalarStyle::Plain, false, 0, 0});
      return true;
    case events::EventType::MappingEnd:
    case events::EventType::SequenceEnd:
      open_.pop_back();
      entries_.push_back({Entry::Kind::End, events::ScalarStyle::Plain, false, 0, 0});
      return true;
    case events::EventType::Alias:
      return false;
    case events::EventType::DocumentEnd:
      entries_.push_back({Entry::Kind::DocumentEnd, events::ScalarStyle::Plain, false, 0, 0});
      return true;
    default:
      return true;
  }
}

EventTape::Outcome EventTape::record(std::string_view source, std::uint64_t max_depth) {
  clear();
  source_ = source;
  if (source.size() > SharedText::kMaxBytes) return Outcome::NeedsTree;
  entries_.reserve(source.size() / 8);
  // Plain block text goes through the fast path, which gives the full parser's events or gives up; then the
  // recording starts over with the full parser.
  bool needs_tree = false;
  auto add_event = [&](const events::Event& ev) { needs_tree = needs_tree || !add(ev, max_depth); };
  if (events::parse_plain_block(source, add_event, false)) return needs_tree ? Outcome::NeedsTree : Outcome::Recorded;
  clear();
  source_ = source;
  parser::ParserLease parser(source, events::ParserOptions{});
  events::Event ev;
  // Anything the tape does not cover ends the recording at once: the tree load parses the text again and
  // reports whatever is there to report.
  while (parser->next(ev)) {
    if (!add(ev, max_depth)) return Outcome::NeedsTree;
  }
  if (const events::ParseError* err = parser->error()) {
    error_ = LoadError::parse("YAML parse error: " + err->description());
    return Outcome::Failed;
  }
  return Outcome::Recorded;
}

TapeLease::TapeLease() {
  if (t_tape.in_use) {
    owned_ = std::make_unique<EventTape>();
    tape_ = owned_.get();
  } else {
    t_tape.in_use = true;
    tape_ = &t_tape.tape;
  }
}

TapeLease::~TapeLease() {
  if (!owned_) {
    t_tape.tape.clear();
    t_tape.in_use = false;
  }
}

}  // namespace velmo::tape
