#include "emit/json_reader.hpp"

#include <gtest/gtest.h>

#include <string>

#include "serializer/serializer.hpp"

namespace velmo {
namespace {

// The YAML text of a JSON input, through the tree serializer with its defaults.
std::string yaml_of(std::string_view json) {
  auto read = read_json(json);
  if (auto* error = std::get_if<JsonError>(&read)) return "error: " + error->message;
  auto text = serialize(std::get<Node>(read));
  return std::get<std::string>(text);
}

std::string error_of(std::string_view json) {
  auto read = read_json(json);
  if (auto* error = std::get_if<JsonError>(&read)) return error->message;
  return "no error";
}

TEST(JsonReader, ScalarsAndCollections) {
  struct Case {
    const char* json;
    const char* yaml;
  };
  const Case cases[] = {
      {"null", "null\n"},
      {"true", "true\n"},
      {" false \r\n\t", "false\n"},
      {"-42", "-42\n"},
      {"9223372036854775807", "9223372036854775807\n"},
      {"-9223372036854775808", "-9223372036854775808\n"},
      // Beyond the signed range: the double, written shortest and positional.
      {"18446744073709551615", "18446744073709552000\n"},
      {"1.0", "1\n"},
      {"1.5", "1.5\n"},
      {"1e20", "100000000000000000000\n"},
      {"-0.0", "-0\n"},
      {"\"plain words\"", "plain words\n"},
      {"\"true\"", "\"true\"\n"},
      {"\"12\"", "\"12\"\n"},
      {"\"\"", "\"\"\n"},
      {"\"a: b\"", "\"a: b\"\n"},
      {"\"tab\\there\"", "\"tab\\there\"\n"},
      {"\"\\u00e9t\\u00e9\"", "\xC3\xA9t\xC3\xA9\n"},
      {"[]", "[]\n"},
      {"{}", "{}\n"},
      {"[1, [2, 3], {\"k\": null}]", "- 1\n- \n  - 2\n  - 3\n- k: null\n"},
      {"{\"a\": {\"b\": [true]}}", "a:\n  b:\n    - true\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(yaml_of(c.json), c.yaml) << c.json;
}

TEST(JsonReader, MembersSortedByKeyBytesLastDuplicateWins) {
  EXPECT_EQ(yaml_of(R"({"b": 1, "a": 2})"), "a: 2\nb: 1\n");
  EXPECT_EQ(yaml_of(R"({"b": 1, "B": 2, "10": 3, "9": 4, "": 5})"), "\"\": 5\n\"10\": 3\n\"9\": 4\nB: 2\nb: 1\n");
  EXPECT_EQ(yaml_of(R"({"a": 1, "b": 2, "a": 3})"), "a: 3\nb: 2\n");
  // Members of nested objects are sorted on their own, and an inner object's members do not leak outward.
  EXPECT_EQ(yaml_of(R"({"z": {"y": 1, "x": {"w": 0}}, "a": [{"d": 1, "c": 2}]})"),
            "a:\n  - c: 2\n    d: 1\nz:\n  x:\n    w: 0\n  y: 1\n");
}

TEST(JsonReader, ManyMembersStayDistinct) {
  std::string json = "{";
  for (int i = 0; i < 100; ++i) json += (i ? ",\"k" : "\"k") + std::to_string(99 - i) + "\":" + std::to_string(i);
  json += ",\"k5\":\"last\"}";
  auto read = read_json(json);
  ASSERT_TRUE(std::holds_alternative<Node>(read));
  const Node& root = std::get<Node>(read);
  ASSERT_EQ(root.size(), 100u);
  EXPECT_EQ(root.pairs()[0].key().value().view(), "k0");
  EXPECT_EQ(root.pairs()[0].value().value().view(), "99");
  const Node* last = root.pairs().find(Node::scalar(SharedText::copy_of("k5")));
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(last->value().view(), "last");
}

TEST(JsonReader, ErrorsCarryDescriptionAndPosition) {
  struct Case {
    const char* json;
    const char* message;
  };
  const Case cases[] = {
      {"[1] x", "trailing characters at line 1 column 5"},
      {"[1]\n\n  x", "trailing characters at line 3 column 3"},
      {"", "EOF while parsing a value at line 1 column 1"},
      {"[1,", "EOF while parsing a value at line 1 column 4"},
      {"[1 2]", "expected `,` or `]` at line 1 column 4"},
      {"{\"a\" 1}", "expected `:` at line 1 column 6"},
      {"{1: 2}", "key must be a string at line 1 column 2"},
      {"\"abc", "EOF while parsing a string at line 1 column 5"},
      {"[x]", "expected value at line 1 column 2"},
      {"tru", "EOF while parsing a value at line 1 column 4"},
      {"1e999", "number out of range at line 1 column 1"},
  };
  for (const Case& c : cases) EXPECT_EQ(error_of(c.json), c.message) << c.json;
}

TEST(JsonReader, NulByteIsNotTheEndOfInput) {
  using namespace std::string_view_literals;
  EXPECT_EQ(error_of("[1]\0 junk"sv), "trailing characters at line 1 column 4");
  EXPECT_NE(error_of("\"a\0b\""sv), "no error");
}

TEST(JsonReader, InvalidUtf8InStringFails) { EXPECT_NE(error_of("\"\xFF\""), "no error"); }

TEST(JsonReader, NestingLimitWithoutRecursion) {
  const std::string ok = std::string(kJsonMaxNesting, '[') + std::string(kJsonMaxNesting, ']');
  EXPECT_TRUE(std::holds_alternative<Node>(read_json(ok)));
  const std::string deep = std::string(kJsonMaxNesting + 1, '[') + std::string(kJsonMaxNesting + 1, ']');
  EXPECT_EQ(error_of(deep).rfind("recursion limit exceeded at line 1 column ", 0), 0u) << error_of(deep);
  // Hostile depth fails fast at the limit rather than exhausting the stack.
  EXPECT_NE(error_of(std::string(1'000'000, '[')), "no error");
  EXPECT_NE(error_of(std::string(500'000, '{') ), "no error");
}

}  // namespace
}  // namespace velmo
