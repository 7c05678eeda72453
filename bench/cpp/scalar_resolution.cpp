// Plain-scalar resolution, quoting test and float formatting, timed next to peers in the same run.
//
// Peers: a resolver built from the YAML 1.2 core-schema regular expressions (the textbook way, std::regex)
// and a bare number attempt with std::from_chars (int64, then double) on every text, the floor for any
// resolver that must recognise numbers. For float text: snprintf("%.17g") and std::to_chars shortest.
#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

#include "emit/format_float.hpp"
#include "emit/needs_quotes.hpp"
#include "schema/resolve_scalar.hpp"

namespace {

// Keeps results alive so the optimiser cannot drop the work.
volatile std::uint64_t sink;

// A mix shaped like the plain scalars of configuration and data files.
std::vector<std::string> make_corpus(std::size_t count) {
  static const char* const words[] = {"name", "description", "value", "enabled", "localhost", "network",
                                      "false_positive", "nothing", "true_north", "image", "hello world",
                                      "The quick brown fox", "user_id", "Tokyo", "info"};
  std::mt19937_64 rng(12345);
  std::vector<std::string> corpus;
  corpus.reserve(count);
  char buf[64];
  for (std::size_t i = 0; i < count; ++i) {
    const unsigned pick = rng() % 100;
    if (pick < 40) {
      corpus.emplace_back(words[rng() % std::size(words)]);
    } else if (pick < 60) {
      std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(rng() % 2000000) - 1000000 / (1 + rng() % 5));
      corpus.emplace_back(buf);
    } else if (pick < 70) {
      std::snprintf(buf, sizeof buf, "%.*g", static_cast<int>(1 + rng() % 12),
                    static_cast<double>(rng() % 1000000) / static_cast<double>(1 + rng() % 1000));
      corpus.emplace_back(buf);
    } else if (pick < 80) {
      static const char* const fixed[] = {"true", "false", "null", "~", "True", "FALSE", ".inf", "0x1F"};
      corpus.emplace_back(fixed[rng() % std::size(fixed)]);
    } else if (pick < 90) {
      std::snprintf(buf, sizeof buf, "20%02u-%02u-%02u", static_cast<unsigned>(rng() % 30),
                    static_cast<unsigned>(1 + rng() % 12), static_cast<unsigned>(1 + rng() % 28));
      corpus.emplace_back(buf);
    } else {
      std::snprintf(buf, sizeof buf, "%u.%u.%u", static_cast<unsigned>(rng() % 10), static_cast<unsigned>(rng() % 20),
                    static_cast<unsigned>(rng() % 100));
      corpus.emplace_back(buf);
    }
  }
  return corpus;
}

// Best of `rounds` runs, in nanoseconds per item.
template <typename Fn>
double time_per_item(std::size_t items, int rounds, Fn&& fn) {
  double best = 1e300;
  for (int r = 0; r < rounds; ++r) {
    const auto start = std::chrono::steady_clock::now();
    fn();
    const auto stop = std::chrono::steady_clock::now();
    best = std::min(best, std::chrono::duration<double, std::nano>(stop - start).count() / static_cast<double>(items));
  }
  return best;
}

// The YAML 1.2 core schema's tag resolution written as regular expressions.
struct RegexResolver {
  std::regex null_re{"null|Null|NULL|~|"};
  std::regex bool_re{"true|True|TRUE|false|False|FALSE"};
  std::regex int10_re{"[-+]?[0-9]+"};
  std::regex int8_re{"0o[0-7]+"};
  std::regex int16_re{"0x[0-9a-fA-F]+"};
  std::regex float_re{"[-+]?(\\.[0-9]+|[0-9]+(\\.[0-9]*)?)([eE][-+]?[0-9]+)?"};
  std::regex inf_re{"[-+]?\\.(inf|Inf|INF)"};
  std::regex nan_re{"\\.(nan|NaN|NAN)"};

  std::uint64_t resolve(const std::string& s) const {
    if (std::regex_match(s, null_re)) return 1;
    if (std::regex_match(s, bool_re)) return s[0] == 't' || s[0] == 'T' ? 2 : 3;
    if (std::regex_match(s, int10_re)) return static_cast<std::uint64_t>(std::strtoll(s.c_str(), nullptr, 10));
    if (std::regex_match(s, int8_re)) return static_cast<std::uint64_t>(std::strtoll(s.c_str() + 2, nullptr, 8));
    if (std::regex_match(s, int16_re)) return static_cast<std::uint64_t>(std::strtoll(s.c_str() + 2, nullptr, 16));
    if (std::regex_match(s, float_re)) return static_cast<std::uint64_t>(std::strtod(s.c_str(), nullptr));
    if (std::regex_match(s, inf_re)) return 4;
    if (std::regex_match(s, nan_re)) return 5;
    return 0;
  }
};

std::uint64_t from_chars_attempt(std::string_view s) {
  std::int64_t i = 0;
  const auto r = std::from_chars(s.data(), s.data() + s.size(), i);
  if (r.ec == std::errc() && r.ptr == s.data() + s.size()) return static_cast<std::uint64_t>(i);
  double d = 0;
  const auto f = std::from_chars(s.data(), s.data() + s.size(), d);
  if (f.ec == std::errc() && f.ptr == s.data() + s.size()) return static_cast<std::uint64_t>(d);
  return 0;
}

std::uint64_t fold(const velmo::Resolved& r) {
  switch (r.kind()) {
    case velmo::Resolved::Kind::Int: return static_cast<std::uint64_t>(r.as_int());
    case velmo::Resolved::Kind::Float: return static_cast<std::uint64_t>(r.as_float());
    default: return static_cast<std::uint64_t>(r.kind());
  }
}

void bench_resolution() {
  const std::vector<std::string> corpus = make_corpus(1'000'000);
  const std::size_t regex_items = 50'000;  // std::regex is too slow for the whole corpus
  std::printf("scalar resolution: %zu plain scalars (words, integers, floats, booleans, dates, versions)\n",
              corpus.size());

  const auto run_schema = [&](const velmo::SchemaHandle& schema) {
    return time_per_item(corpus.size(), 5, [&] {
      std::uint64_t acc = 0;
      for (const std::string& s : corpus) acc += fold(velmo::resolve_scalar(schema, s));
      sink = acc;
    });
  };
  const double core = run_schema(velmo::SchemaHandle::core());
  const double json = run_schema(velmo::SchemaHandle::json());
  const double yaml11 = run_schema(velmo::SchemaHandle::yaml11());
  const double floor = time_per_item(corpus.size(), 5, [&] {
    std::uint64_t acc = 0;
    for (const std::string& s : corpus) acc += from_chars_attempt(s);
    sink = acc;
  });
  const RegexResolver regex;
  const double regex_ns = time_per_item(regex_items, 1, [&] {
    std::uint64_t acc = 0;
    for (std::size_t i = 0; i < regex_items; ++i) acc += regex.resolve(corpus[i]);
    sink = acc;
  });
  const double quotes = time_per_item(corpus.size(), 5, [&] {
    std::uint64_t acc = 0;
    for (const std::string& s : corpus) acc += velmo::needs_quotes(s);
    sink = acc;
  });

  std::printf("  velmo resolve_scalar core     %7.2f ns/scalar\n", core);
  std::printf("  velmo resolve_scalar json     %7.2f ns/scalar\n", json);
  std::printf("  velmo resolve_scalar yaml1.1  %7.2f ns/scalar\n", yaml11);
  std::printf("  velmo needs_quotes            %7.2f ns/string\n", quotes);
  std::printf("  peer  from_chars attempt      %7.2f ns/scalar   velmo core / peer = %.2f\n", floor, core / floor);
  std::printf("  peer  std::regex core schema  %7.2f ns/scalar   peer / velmo core = %.1fx\n", regex_ns,
              regex_ns / core);
}

void bench_float_text() {
  std::mt19937_64 rng(99);
  std::vector<double> values;
  values.reserve(1'000'000);
  for (int i = 0; i < 1'000'000; ++i) {
    // Data-like values: measurements with a few decimals, plus arbitrary doubles.
    if (i % 2 == 0) {
      values.push_back(static_cast<double>(rng() % 10'000'000) / 1000.0);
    } else {
      values.push_back(std::ldexp(static_cast<double>(rng() >> 11), static_cast<int>(rng() % 120) - 100));
    }
  }
  std::printf("float text: %zu doubles (half with 3 decimals, half arbitrary)\n", values.size());
  std::string out;
  out.reserve(64);
  const double velmo_ns = time_per_item(values.size(), 5, [&] {
    std::uint64_t acc = 0;
    for (double x : values) {
      out.clear();
      velmo::append_float(out, x);
      acc += out.size();
    }
    sink = acc;
  });
  char buf[64];
  const double to_chars_ns = time_per_item(values.size(), 5, [&] {
    std::uint64_t acc = 0;
    for (double x : values) acc += static_cast<std::uint64_t>(std::to_chars(buf, buf + sizeof buf, x).ptr - buf);
    sink = acc;
  });
  const double printf_ns = time_per_item(values.size(), 5, [&] {
    std::uint64_t acc = 0;
    for (double x : values) acc += static_cast<std::uint64_t>(std::snprintf(buf, sizeof buf, "%.17g", x));
    sink = acc;
  });
  std::printf("  velmo append_float            %7.2f ns/float\n", velmo_ns);
  std::printf("  peer  std::to_chars shortest  %7.2f ns/float   velmo / peer = %.2f\n", to_chars_ns,
              velmo_ns / to_chars_ns);
  std::printf("  peer  snprintf %%.17g           %7.2f ns/float   velmo / peer = %.2f\n", printf_ns,
              velmo_ns / printf_ns);
}

}  // namespace

int main() {
  bench_resolution();
  bench_float_text();
  return 0;
}
