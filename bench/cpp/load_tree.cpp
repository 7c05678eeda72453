// Building document trees against the bare event parse of the same text, with libyaml's document loader as a
// peer, on the event parser benchmark's corpus. Variants run interleaved; each keeps its best time.
#include <yaml.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <variant>
#include <vector>

#include "events/parser.hpp"
#include "parse_events_corpus.hpp"
#include "parser/load.hpp"

namespace {

constexpr int kRuns = 9;
constexpr double kAllowedRatio = 1.6;

struct Variant {
  const char* name;
  std::function<std::size_t()> run;  // returns a count of what it produced, so nothing is optimised away
  double best = 1e30;
  std::size_t count = 0;
};

void measure(std::vector<Variant>& variants) {
  for (int round = 0; round < kRuns; ++round) {
    for (Variant& v : variants) {
      const auto start = std::chrono::steady_clock::now();
      const std::size_t count = v.run();
      const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      if (seconds < v.best) v.best = seconds;
      v.count = count;
    }
  }
}

std::size_t bare_parse(const std::string& text, bool comments) {
  velmo::events::ParserOptions options;
  options.comments = comments;
  velmo::events::Parser parser(text, options);
  velmo::events::Event event;
  std::size_t events = 0;
  while (parser.next(event)) ++events;
  if (parser.error() != nullptr) {
    std::fprintf(stderr, "parse error: %s\n", parser.error()->description().c_str());
    std::exit(1);
  }
  return events;
}

// The trees of the previous run are dropped outside the timed region.
std::vector<velmo::Node> kept;

template <class Source>
std::size_t load_all(const Source& source) {
  kept.clear();
  velmo::parser::LoadAllResult result = velmo::parser::load_all(source, velmo::parser::LoadOptions{});
  if (auto* error = std::get_if<velmo::LoadError>(&result)) {
    std::fprintf(stderr, "load error: %s\n", error->text.c_str());
    std::exit(1);
  }
  kept = std::get<std::vector<velmo::Node>>(std::move(result));
  return kept.size();
}

std::vector<yaml_document_t> kept_libyaml;

void drop_libyaml() {
  for (yaml_document_t& document : kept_libyaml) yaml_document_delete(&document);
  kept_libyaml.clear();
}

std::size_t libyaml_load(const std::string& text) {
  drop_libyaml();
  yaml_parser_t parser;
  yaml_parser_initialize(&parser);
  yaml_parser_set_input_string(&parser, reinterpret_cast<const unsigned char*>(text.data()), text.size());
  for (;;) {
    yaml_document_t document;
    if (!yaml_parser_load(&parser, &document)) {
      std::fprintf(stderr, "libyaml load error: %s\n", parser.problem != nullptr ? parser.problem : "?");
      std::exit(1);
    }
    if (yaml_document_get_root_node(&document) == nullptr) {
      yaml_document_delete(&document);
      break;
    }
    kept_libyaml.push_back(document);
  }
  yaml_parser_delete(&parser);
  return kept_libyaml.size();
}

}  // namespace

int main() {
  const std::string corpus = velmo::bench::make_event_corpus(12 * 1024 * 1024);
  const velmo::SharedText shared = velmo::SharedText::copy_of(corpus);
  const double megabytes = static_cast<double>(corpus.size()) / (1024.0 * 1024.0);
  const bool has_comments = corpus.find('#') != std::string::npos;
  std::printf("load_tree: %.1f MB generated corpus (the event parser benchmark's), best of %d runs\n", megabytes,
              kRuns);

  std::vector<Variant> variants = {
      {"bare event parse (as the load asks)", [&] { return bare_parse(corpus, has_comments); }},
      {"bare event parse, no comment events", [&] { return bare_parse(corpus, false); }},
      {"load_all, shared source", [&] { return load_all(shared); }},
      {"load_all, borrowed text (one copy)", [&] { return load_all(std::string_view(corpus)); }},
      {"libyaml yaml_parser_load", [&] { return libyaml_load(corpus); }},
  };
  measure(variants);
  kept.clear();
  drop_libyaml();
  for (const Variant& v : variants) {
    std::printf("  %-38s %8.1f MB/s  (%.3f s, %zu)\n", v.name, megabytes / v.best, v.best, v.count);
  }
  const double ratio = variants[2].best / variants[0].best;
  std::printf("  ratio load_all / bare parse:            %.2fx (required <= %.1f)\n", ratio, kAllowedRatio);
  std::printf("  ratio load_all (borrowed) / bare parse: %.2fx\n", variants[3].best / variants[0].best);
  std::printf("  ratio libyaml load / load_all:          %.2fx\n", variants[4].best / variants[2].best);
  return 0;
}
