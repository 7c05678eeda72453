// Event parser throughput against libyaml on a generated corpus, whole text
// and incremental (64 KiB chunks), in the same run. Best of several runs.
#include <yaml.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "events/parser.hpp"
#include "parse_events_corpus.hpp"

namespace {

using velmo::events::Event;
using velmo::events::InputSource;
using velmo::events::Parser;
using velmo::events::ParserOptions;

constexpr std::size_t kChunk = 64 * 1024;
constexpr int kRuns = 9;

struct Result {
  double seconds = 1e30;
  std::size_t events = 0;
};

struct Variant {
  const char* name;
  std::function<std::size_t()> run;
  Result best;
};

// Runs the variants in turn, kRuns rounds, keeping each one's best time:
// interleaving makes the ratios robust against a machine whose load changes.
void measure(std::vector<Variant>& variants) {
  for (int round = 0; round < kRuns; ++round) {
    for (Variant& v : variants) {
      const auto start = std::chrono::steady_clock::now();
      const std::size_t events = v.run();
      const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      if (seconds < v.best.seconds) v.best = Result{seconds, events};
    }
  }
}

class StringSource final : public InputSource {
 public:
  explicit StringSource(const std::string& text) : text_(text) {}
  std::size_t read(std::span<char> buffer) override {
    const std::size_t n = std::min(buffer.size(), text_.size() - pos_);
    std::memcpy(buffer.data(), text_.data() + pos_, n);
    pos_ += n;
    return n;
  }

 private:
  const std::string& text_;
  std::size_t pos_ = 0;
};

std::size_t drain(Parser& parser) {
  std::size_t events = 0;
  std::size_t bytes = 0;
  Event event;
  while (parser.next(event)) {
    ++events;
    bytes += event.value.size();
  }
  if (parser.error() != nullptr) {
    std::fprintf(stderr, "velmo parse error: %s\n", parser.error()->description().c_str());
    std::exit(1);
  }
  return events + (bytes == 0 ? 1 : 0);
}

std::size_t velmo_whole(const std::string& text, bool comments) {
  ParserOptions options;
  options.comments = comments;
  Parser parser(text, options);
  return drain(parser);
}

std::size_t velmo_incremental(const std::string& text) {
  StringSource source(text);
  ParserOptions options;
  options.chunk_size = kChunk;
  Parser parser(source, options);
  return drain(parser);
}

struct ChunkReader {
  const std::string* text;
  std::size_t pos;
};

int read_chunk(void* data, unsigned char* buffer, size_t size, size_t* size_read) {
  auto* reader = static_cast<ChunkReader*>(data);
  const std::size_t n = std::min({size, kChunk, reader->text->size() - reader->pos});
  std::memcpy(buffer, reader->text->data() + reader->pos, n);
  reader->pos += n;
  *size_read = n;
  return 1;
}

std::size_t libyaml_parse(const std::string& text, bool chunked) {
  yaml_parser_t parser;
  yaml_parser_initialize(&parser);
  ChunkReader reader{&text, 0};
  if (chunked) {
    yaml_parser_set_input(&parser, read_chunk, &reader);
  } else {
    yaml_parser_set_input_string(&parser, reinterpret_cast<const unsigned char*>(text.data()), text.size());
  }
  std::size_t events = 0;
  for (;;) {
    yaml_event_t event;
    if (!yaml_parser_parse(&parser, &event)) {
      std::fprintf(stderr, "libyaml parse error: %s\n", parser.problem != nullptr ? parser.problem : "?");
      std::exit(1);
    }
    ++events;
    const bool end = event.type == YAML_STREAM_END_EVENT;
    yaml_event_delete(&event);
    if (end) break;
  }
  yaml_parser_delete(&parser);
  return events;
}

void print(const char* name, const Result& r, double megabytes) {
  std::printf("  %-34s %8.1f MB/s %12.0f events/s  (%zu events, %.3f s)\n", name, megabytes / r.seconds,
              static_cast<double>(r.events) / r.seconds, r.events, r.seconds);
}

}  // namespace

int main() {
  const std::string corpus = velmo::bench::make_event_corpus(12 * 1024 * 1024);
  const double megabytes = static_cast<double>(corpus.size()) / (1024.0 * 1024.0);
  std::printf("parse_events: %.1f MB generated corpus, best of %d runs\n", megabytes, kRuns);

  std::vector<Variant> variants = {
      {"velmo whole text", [&] { return velmo_whole(corpus, false); }, {}},
      {"velmo whole text, comment events", [&] { return velmo_whole(corpus, true); }, {}},
      {"velmo incremental (64 KiB chunks)", [&] { return velmo_incremental(corpus); }, {}},
      {"libyaml string input", [&] { return libyaml_parse(corpus, false); }, {}},
      {"libyaml read handler (64 KiB)", [&] { return libyaml_parse(corpus, true); }, {}},
  };
  measure(variants);
  for (const Variant& v : variants) print(v.name, v.best, megabytes);
  const Result& ours = variants[0].best;
  const Result& ours_incremental = variants[2].best;
  const Result& theirs = variants[3].best;
  const Result& theirs_chunked = variants[4].best;

  const double whole_ratio = theirs.seconds / ours.seconds;
  const double incremental_ratio = theirs.seconds / ours_incremental.seconds;
  std::printf("  ratio whole text / libyaml:        %.2fx (required >= 2.0)\n", whole_ratio);
  std::printf("  ratio incremental / libyaml:       %.2fx (required >= 1.5)\n", incremental_ratio);
  std::printf("  ratio incremental / libyaml read:  %.2fx\n", theirs_chunked.seconds / ours_incremental.seconds);
  return 0;
}
