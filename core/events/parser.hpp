// The YAML 1.2 event parser: a pull parser driven by an explicit state
// stack (no native recursion), over a whole text or over chunks of bytes.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <type_traits>
#include <utility>

#include "events/event.hpp"

namespace velmo::events {

// A source of input bytes for incremental parsing.
class InputSource {
 public:
  virtual ~InputSource() = default;
  // Writes the next bytes of the input into `buffer` and returns how many;
  // 0 means the input has ended.
  virtual std::size_t read(std::span<char> buffer) = 0;
};

struct ParserOptions {
  bool comments = false;             // produce Comment events
  std::size_t max_nesting = 100000;  // open collections before "recursion limit exceeded"
  std::size_t chunk_size = 65536;    // bytes requested per InputSource::read
};

class Parser {
 public:
  // Parses `text`, which must stay alive and unchanged while the parser is used.
  explicit Parser(std::string_view text, ParserOptions options = {});
  // Parses the bytes handed out by `source` (kept by reference).
  explicit Parser(InputSource& source, ParserOptions options = {});
  ~Parser();
  Parser(Parser&&) noexcept;
  Parser& operator=(Parser&&) noexcept;
  Parser(const Parser&) = delete;
  Parser& operator=(const Parser&) = delete;

  // Starts over on a new input, keeping the memory already allocated.
  void reset(std::string_view text, ParserOptions options = {});
  void reset(InputSource& source, ParserOptions options = {});

  // Produces the next event into `event`. Returns false once StreamEnd has
  // been produced, or when parsing failed (then error() is set). The views in
  // `event` stay valid until the next call.
  bool next(Event& event);

  [[nodiscard]] const ParseError* error() const;
  // True after StreamEnd was produced or an error happened.
  [[nodiscard]] bool finished() const;

  // Bytes held in the parser's buffers, queues and stacks (not the input
  // text of the whole-text path): for tests and diagnostics of its memory use.
  [[nodiscard]] std::size_t retained_bytes() const;

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

namespace detail {

// Feeds every event of `parser` to `handler`; a handler that returns bool stops the parse by returning false.
template <class Handler>
std::optional<ParseError> drive(Parser& parser, Handler& handler) {
  Event event;
  while (parser.next(event)) {
    if constexpr (std::is_same_v<decltype(handler(std::as_const(event))), bool>) {
      if (!handler(std::as_const(event))) return std::nullopt;
    } else {
      handler(std::as_const(event));
    }
  }
  if (const ParseError* error = parser.error()) return *error;
  return std::nullopt;
}

}  // namespace detail

// Pushes every event of `text` to `handler(const Event&)`; a handler that
// returns bool stops the parse by returning false. Returns the error, if any.
template <class Handler>
std::optional<ParseError> parse(std::string_view text, Handler& handler, ParserOptions options = {}) {
  Parser parser(text, options);
  return detail::drive(parser, handler);
}

// The same over an incremental source.
template <class Handler>
std::optional<ParseError> parse(InputSource& source, Handler& handler, ParserOptions options = {}) {
  Parser parser(source, options);
  return detail::drive(parser, handler);
}

}  // namespace velmo::events
