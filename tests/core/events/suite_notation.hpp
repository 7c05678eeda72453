// Test helpers: events written in the YAML test suite's event notation, and
// an input source that hands out a text in chunks of a fixed size.
#pragma once

#include <algorithm>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "events/parser.hpp"

namespace velmo::events::testing {

inline void append_escaped(std::string& out, std::string_view text) {
  for (const char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\0': out += "\\0"; break;
      case '\a': out += "\\a"; break;
      case '\b': out += "\\b"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\v': out += "\\v"; break;
      case '\f': out += "\\f"; break;
      case '\r': out += "\\r"; break;
      case '\x1B': out += "\\e"; break;
      default: out += c;
    }
  }
}

inline void append_properties(std::string& out, const Event& event) {
  if (event.anchor != 0) {
    out += " &";
    out += event.anchor_name;
  }
  if (event.has_tag) {
    out += " <";
    out += event.tag_prefix;
    out += event.tag_suffix;
    out += '>';
  }
}

// One event as a line of a test.event file; comments give "#" + text.
inline std::string suite_line(const Event& event) {
  std::string out;
  switch (event.type) {
    case EventType::StreamStart: return "+STR";
    case EventType::StreamEnd: return "-STR";
    case EventType::DocumentStart: return event.implicit ? "+DOC" : "+DOC ---";
    case EventType::DocumentEnd: return event.implicit ? "-DOC" : "-DOC ...";
    case EventType::MappingStart:
      out = event.flow ? "+MAP {}" : "+MAP";
      append_properties(out, event);
      return out;
    case EventType::SequenceStart:
      out = event.flow ? "+SEQ []" : "+SEQ";
      append_properties(out, event);
      return out;
    case EventType::MappingEnd: return "-MAP";
    case EventType::SequenceEnd: return "-SEQ";
    case EventType::Alias:
      out = "=ALI *";
      out += event.anchor_name;
      return out;
    case EventType::Scalar: {
      out = "=VAL";
      append_properties(out, event);
      static constexpr char kStyle[] = {':', '\'', '"', '|', '>'};
      out += ' ';
      out += kStyle[static_cast<int>(event.style)];
      append_escaped(out, event.value);
      return out;
    }
    case EventType::Comment:
      out = event.inline_comment ? "#inline " : "#line ";
      append_escaped(out, event.value);
      return out;
  }
  return out;
}

// The result of a parse: one line per event, then the error if any.
struct Transcript {
  std::vector<std::string> lines;
  std::optional<ParseError> error;
  std::string marks;  // start and end of every event

  // Events, error and marks: what both input paths must agree on.
  [[nodiscard]] std::string full() const { return text() + marks; }

  [[nodiscard]] std::string text() const {
    std::string out;
    for (const std::string& line : lines) {
      out += line;
      out += '\n';
    }
    if (error) out += "ERROR " + error->description() + "\n";
    return out;
  }
};

// Hands out a text `chunk` bytes at a time.
class ChunkedSource final : public InputSource {
 public:
  ChunkedSource(std::string_view text, std::size_t chunk) : text_(text), chunk_(chunk) {}
  std::size_t read(std::span<char> buffer) override {
    const std::size_t n = std::min({chunk_, buffer.size(), text_.size() - pos_});
    if (n != 0) std::memcpy(buffer.data(), text_.data() + pos_, n);
    pos_ += n;
    return n;
  }

 private:
  std::string_view text_;
  std::size_t chunk_;
  std::size_t pos_ = 0;
};

inline Transcript record(Parser& parser) {
  Transcript transcript;
  Event event;
  while (parser.next(event)) {
    transcript.lines.push_back(suite_line(event));
    for (const Mark& m : {event.start, event.end}) {
      transcript.marks += std::to_string(m.offset) + '/' + std::to_string(m.index) + '/' + std::to_string(m.line) +
                          '/' + std::to_string(m.column) + ' ';
    }
    transcript.marks += '\n';
  }
  if (const ParseError* error = parser.error()) transcript.error = *error;
  return transcript;
}

inline Transcript record_text(std::string_view text, ParserOptions options = {}) {
  Parser parser(text, options);
  return record(parser);
}

inline Transcript record_chunks(std::string_view text, std::size_t chunk, ParserOptions options = {}) {
  ChunkedSource source(text, chunk);
  options.chunk_size = chunk;
  Parser parser(source, options);
  return record(parser);
}

}  // namespace velmo::events::testing
