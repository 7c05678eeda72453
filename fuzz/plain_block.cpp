// Fuzz target for the plain block fast path: whenever it accepts an input, the full parser must accept it too and
// give the same events (texts, styles, flags and byte offsets), with comment events and without.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "events/parser.hpp"
#include "events/plain_block_parser.hpp"

namespace {

using velmo::events::Event;
using velmo::events::Parser;
using velmo::events::ParserOptions;

void append_event(std::string& out, const Event& event) {
  out += std::to_string(static_cast<int>(event.type)) + ' ' + std::to_string(static_cast<int>(event.style)) + ' ' +
         std::to_string(static_cast<int>(event.chomping)) + ' ' + std::to_string(event.anchor) + ' ' +
         (event.implicit ? "i" : "-") + (event.flow ? "f" : "-") + (event.inline_comment ? "c" : "-") +
         (event.has_tag ? "t" : "-") + ' ';
  out.append(event.value);
  out += '|' + std::to_string(event.start.offset) + ' ' + std::to_string(event.end.offset) + '\n';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (const bool comments : {true, false}) {
    std::string fast;
    auto record = [&fast](const Event& event) { append_event(fast, event); };
    if (!velmo::events::parse_plain_block(text, record, comments)) continue;
    ParserOptions options;
    options.comments = comments;
    Parser parser(text, options);
    std::string full;
    Event event;
    while (parser.next(event)) append_event(full, event);
    if (parser.error() != nullptr || full != fast) std::abort();
  }
  return 0;
}
