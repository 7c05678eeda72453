// Building document trees against the bare event parse of the same text, with libyaml's document loader as a
// peer, on the event parser benchmark's corpus. Variants run interleaved; each keeps its best time.
#include <yaml.h>

#include <algorithm>
#include <chrono>
#include <ctime>
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
  std::function<void()> drop;        // releases what the previous run kept, outside the timed region
  double best = 1e30;                // wall clock
  double best_cpu = 1e30;            // this thread's CPU time: what other processes on a shared machine do not skew
  std::size_t count = 0;
};

double thread_cpu_seconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

void measure(std::vector<Variant>& variants) {
  for (int round = 0; round < kRuns; ++round) {
    for (Variant& v : variants) {
      if (v.drop) v.drop();
      const double cpu_start = thread_cpu_seconds();
      const auto start = std::chrono::steady_clock::now();
      const std::size_t count = v.run();
      const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      v.best = std::min(v.best, seconds);
      v.best_cpu = std::min(v.best_cpu, thread_cpu_seconds() - cpu_start);
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

// The trees of the last run, dropped before the next one starts its clock.
std::vector<velmo::Node> kept;

void drop_trees() { kept.clear(); }

template <class Source>
std::size_t load_all(const Source& source) {
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

  // A deep copy makes the same nodes, allocations and shared texts as a load, without any parsing or checks:
  // the floor for building trees of this shape.
  std::vector<velmo::Node> reference;
  load_all(shared);
  reference = std::move(kept);

  std::vector<Variant> variants = {
      {"bare event parse (as the load asks)", [&] { return bare_parse(corpus, has_comments); }, {}},
      {"bare event parse, no comment events", [&] { return bare_parse(corpus, false); }, {}},
      {"load_all, shared source", [&] { return load_all(shared); }, drop_trees},
      {"load_all, borrowed text (one copy)", [&] { return load_all(std::string_view(corpus)); }, drop_trees},
      {"libyaml yaml_parser_load", [&] { return libyaml_load(corpus); }, drop_libyaml},
      {"deep copy of the loaded trees",
       [&] {
         kept = reference;
         return kept.size();
       },
       drop_trees},
  };
  measure(variants);
  drop_trees();
  drop_libyaml();
  std::printf("  %-38s %10s %10s %10s\n", "", "MB/s", "wall s", "cpu s");
  for (const Variant& v : variants) {
    std::printf("  %-38s %10.1f %10.3f %10.3f  (%zu)\n", v.name, megabytes / v.best_cpu, v.best, v.best_cpu, v.count);
  }
  const Variant& parse = variants[0];
  const Variant& load = variants[2];
  std::printf("  ratio load_all / bare parse, cpu:       %.2fx (required <= %.1f)\n", load.best_cpu / parse.best_cpu,
              kAllowedRatio);
  std::printf("  ratio load_all / bare parse, wall:      %.2fx\n", load.best / parse.best);
  std::printf("  ratio load_all (borrowed) / bare parse: %.2fx cpu\n", variants[3].best_cpu / parse.best_cpu);
  std::printf("  ratio libyaml load / load_all:          %.2fx cpu\n", variants[4].best_cpu / load.best_cpu);
  std::printf("  ratio deep copy / bare parse:           %.2fx cpu\n", variants[5].best_cpu / parse.best_cpu);
  return 0;
}
