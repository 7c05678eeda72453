// Every case of the YAML test suite: valid ones load with load_all, error ones fail with Parse.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "parser/load.hpp"

namespace velmo::parser {
namespace {

namespace fs = std::filesystem;

struct SuiteCase {
  std::string name;  // folder below the suite, e.g. "2G84/01"
  std::string text;
  bool is_error;
};

std::vector<SuiteCase> suite_cases() {
  std::vector<SuiteCase> cases;
  const fs::path root = fs::path(VELMO_SHARED_DIR) / "yaml-test-suite";
  if (!fs::is_directory(root)) return cases;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
    if (!entry.is_regular_file() || entry.path().filename() != "in.yaml") continue;
    const fs::path folder = entry.path().parent_path();
    std::ifstream in(entry.path(), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    cases.push_back({fs::relative(folder, root).string(), text.str(), fs::exists(folder / "error")});
  }
  return cases;
}

TEST(YamlTestSuite, ValidCasesLoadAndErrorCasesFailToParse) {
  const std::vector<SuiteCase> cases = suite_cases();
  ASSERT_GT(cases.size(), 300u) << "the YAML test suite is missing from " << VELMO_SHARED_DIR;
  std::size_t errors = 0;
  for (const SuiteCase& c : cases) {
    const LoadAllResult result = load_all(c.text, LoadOptions{});
    const LoadError* error = std::get_if<LoadError>(&result);
    if (c.is_error) {
      ++errors;
      EXPECT_TRUE(error != nullptr && error->kind == LoadError::Kind::Parse)
          << c.name << ": an error case " << (error ? "failed with another error: " + error->text : "loaded");
    } else {
      EXPECT_EQ(error, nullptr) << c.name << ": " << error->text;
    }
  }
  EXPECT_GT(errors, 50u);
}

}  // namespace
}  // namespace velmo::parser
