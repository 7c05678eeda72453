// Runs every case of the YAML test suite through the whole-text parser and
// through the incremental parser with several chunk sizes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "suite_notation.hpp"

namespace velmo::events::testing {
namespace {

namespace fs = std::filesystem;

// Cases this parser is known to get wrong, with the reason.
const std::map<std::string, std::string>& known_failures() {
  static const std::map<std::string, std::string> known = {};
  return known;
}

struct SuiteCase {
  std::string id;  // folder name, with the sub-folder for numbered cases ("SM9W/01")
  std::string input;
  std::string expected;  // test.event
  bool error = false;
};

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

std::vector<SuiteCase> load_suite() {
  std::vector<SuiteCase> cases;
  const fs::path root = fs::path(VELMO_SHARED_DIR) / "yaml-test-suite";
  std::vector<fs::path> dirs;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.is_regular_file() && entry.path().filename() == "in.yaml") dirs.push_back(entry.path().parent_path());
  }
  std::sort(dirs.begin(), dirs.end());
  for (const fs::path& dir : dirs) {
    SuiteCase c;
    c.id = fs::relative(dir, root).generic_string();
    c.input = read_file(dir / "in.yaml");
    c.expected = read_file(dir / "test.event");
    c.error = fs::exists(dir / "error");
    cases.push_back(std::move(c));
  }
  return cases;
}

const std::vector<SuiteCase>& suite() {
  static const std::vector<SuiteCase> cases = load_suite();
  return cases;
}

// Empty when the transcript matches the case, else what went wrong.
std::string check(const SuiteCase& c, const Transcript& got) {
  if (c.error) {
    if (got.error) return {};
    return "expected an error, got:\n" + got.text();
  }
  std::string events;
  for (const std::string& line : got.lines) events += line + "\n";
  if (!got.error && events == c.expected) return {};
  return "expected:\n" + c.expected + "got:\n" + got.text();
}

TEST(YamlTestSuite, HasCases) { EXPECT_GT(suite().size(), 300u); }

TEST(YamlTestSuite, WholeText) {
  std::size_t failed = 0;
  for (const SuiteCase& c : suite()) {
    const std::string problem = check(c, record_text(c.input));
    const bool known = known_failures().count(c.id) != 0;
    if (problem.empty()) {
      EXPECT_FALSE(known) << c.id << " passes now; remove it from the known failures";
    } else if (!known) {
      ++failed;
      ADD_FAILURE() << c.id << ": " << problem;
    }
  }
  EXPECT_EQ(failed, 0u);
}

TEST(YamlTestSuite, IncrementalMatchesWholeText) {
  for (const std::size_t chunk : {1u, 2u, 3u, 7u, 65536u}) {
    for (const SuiteCase& c : suite()) {
      const Transcript whole = record_text(c.input);
      const Transcript pieces = record_chunks(c.input, chunk);
      EXPECT_EQ(whole.full(), pieces.full()) << c.id << " with chunks of " << chunk << " bytes";
    }
  }
}

// The same with comment events, which the incremental path must place alike.
TEST(YamlTestSuite, IncrementalMatchesWholeTextWithComments) {
  ParserOptions options;
  options.comments = true;
  for (const std::size_t chunk : {1u, 3u, 65536u}) {
    for (const SuiteCase& c : suite()) {
      EXPECT_EQ(record_text(c.input, options).full(), record_chunks(c.input, chunk, options).full())
          << c.id << " with chunks of " << chunk << " bytes";
    }
  }
}

// YAML files as people write them all parse, alike on both input paths.
TEST(RealWorldYaml, ParsesOnBothPaths) {
  const fs::path root = fs::path(VELMO_SHARED_DIR) / "real-world-yaml";
  ParserOptions options;
  options.comments = true;
  std::size_t files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    const std::string ext = entry.path().extension().string();
    if (!entry.is_regular_file() || (ext != ".yaml" && ext != ".yml")) continue;
    ++files;
    const std::string text = read_file(entry.path());
    const Transcript whole = record_text(text, options);
    EXPECT_FALSE(whole.error) << entry.path() << ": " << whole.error->description();
    EXPECT_EQ(record_chunks(text, 13, options).full(), whole.full()) << entry.path();
  }
  EXPECT_GT(files, 700u);
}

TEST(YamlTestSuite, KnownFailuresAreFew) { EXPECT_LE(known_failures().size(), 3u); }

}  // namespace
}  // namespace velmo::events::testing
