// Parser events written by hand, so the tree builder can be tested on exact event sequences.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "events/event.hpp"
#include "parser/tree_builder.hpp"

namespace velmo::parser::testing {

using events::Event;
using events::EventType;

inline events::Mark at(std::size_t offset) {
  events::Mark mark;
  mark.offset = offset;
  mark.index = offset;
  return mark;
}

inline Event event_of(EventType type, std::size_t start = 0, std::size_t end = 0) {
  Event event;
  event.type = type;
  event.start = at(start);
  event.end = at(end);
  return event;
}

inline Event scalar(std::string_view value, std::size_t start = 0, std::size_t end = 0,
                    events::ScalarStyle style = events::ScalarStyle::Plain) {
  Event event = event_of(EventType::Scalar, start, end);
  event.value = value;
  event.style = style;
  return event;
}

inline Event anchored(Event event, std::uint32_t number, std::string_view name) {
  event.anchor = number;
  event.anchor_name = name;
  return event;
}

inline Event tagged(Event event, std::string_view prefix, std::string_view suffix) {
  event.has_tag = true;
  event.tag_prefix = prefix;
  event.tag_suffix = suffix;
  return event;
}

inline Event alias(std::uint32_t number, std::string_view name) {
  Event event = event_of(EventType::Alias);
  event.anchor = number;
  event.anchor_name = name;
  return event;
}

inline Event mapping_start(std::size_t start = 0, bool flow = false) {
  Event event = event_of(EventType::MappingStart, start, start + (flow ? 1 : 0));
  event.flow = flow;
  return event;
}
inline Event sequence_start(std::size_t start = 0, bool flow = false) {
  Event event = event_of(EventType::SequenceStart, start, start + (flow ? 1 : 0));
  event.flow = flow;
  return event;
}
inline Event mapping_end(std::size_t start = 0, std::size_t end = 0) {
  return event_of(EventType::MappingEnd, start, end);
}
inline Event sequence_end(std::size_t start = 0, std::size_t end = 0) {
  return event_of(EventType::SequenceEnd, start, end);
}

inline Event comment(std::string_view text, bool is_inline) {
  Event event = event_of(EventType::Comment);
  event.value = text;
  event.inline_comment = is_inline;
  return event;
}

inline Event document_end() { return event_of(EventType::DocumentEnd); }

// Feeds the events to a fresh builder over `source`.
inline void feed(TreeBuilder& builder, const std::vector<Event>& events) {
  for (const Event& event : events) builder(event);
}

}  // namespace velmo::parser::testing
