// Fuzz target for the event parser: any input must end in events or an
// error without a crash, and the incremental path (with a chunk size taken
// from the input) must produce exactly what the whole-text path produces.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

#include "events/parser.hpp"

namespace {

using velmo::events::Event;
using velmo::events::InputSource;
using velmo::events::Mark;
using velmo::events::Parser;
using velmo::events::ParserOptions;

class ChunkSource final : public InputSource {
 public:
  ChunkSource(std::string_view text, std::size_t chunk) : text_(text), chunk_(chunk) {}
  std::size_t read(std::span<char> buffer) override {
    const std::size_t n = std::min({chunk_, buffer.size(), text_.size() - pos_});
    std::memcpy(buffer.data(), text_.data() + pos_, n);
    pos_ += n;
    return n;
  }

 private:
  std::string_view text_;
  std::size_t chunk_;
  std::size_t pos_ = 0;
};

void append_mark(std::string& out, const Mark& m) {
  out += std::to_string(m.offset) + '/' + std::to_string(m.index) + '/' + std::to_string(m.line) + '/' +
         std::to_string(m.column) + ' ';
}

// Everything the parser reports, as one string.
std::string transcript(Parser& parser, std::string_view text) {
  std::string out;
  Event event;
  std::size_t count = 0;
  while (parser.next(event)) {
    out += std::to_string(static_cast<int>(event.type)) + ' ' + std::to_string(static_cast<int>(event.style)) + ' ' +
           std::to_string(static_cast<int>(event.chomping)) + ' ' + std::to_string(event.anchor) + ' ' +
           (event.implicit ? "i" : "-") + (event.flow ? "f" : "-") + (event.inline_comment ? "c" : "-") + ' ';
    out.append(event.value);
    out += '|';
    out.append(event.anchor_name);
    out += '|';
    out.append(event.tag_prefix);
    out += '|';
    out.append(event.tag_suffix);
    out += ' ';
    append_mark(out, event.start);
    append_mark(out, event.end);
    out += '\n';
    // Marks never point outside the input and never go backwards.
    if (event.end.offset > text.size() || event.start.offset > event.end.offset) __builtin_trap();
    if (++count > 4 * text.size() + 16) __builtin_trap();  // no endless event stream
  }
  if (parser.error() != nullptr) out += "error " + parser.error()->description() + '\n';
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // The first byte picks the chunk size and whether comments are reported.
  const std::size_t chunk = 1 + (data[0] & 0x0F);
  ParserOptions options;
  options.comments = (data[0] & 0x10) != 0;
  options.max_nesting = 64 + (data[0] >> 5) * 64;
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

  Parser whole(text, options);
  const std::string expected = transcript(whole, text);

  ChunkSource source(text, chunk);
  options.chunk_size = chunk;
  Parser pieces(source, options);
  if (transcript(pieces, text) != expected) __builtin_trap();
  return 0;
}
