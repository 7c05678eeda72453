#include "schema/resolve_scalar.hpp"

#include <gtest/gtest.h>

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "expect_resolved.hpp"

namespace velmo {
namespace {

using testing::Case;
using testing::bool_;
using testing::float_;
using testing::int_;
using testing::matches;
using testing::null_;
using testing::str_;

constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr std::int64_t int64_max = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t int64_min = std::numeric_limits<std::int64_t>::min();

void check_table(const SchemaHandle& schema, const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    EXPECT_TRUE(matches(resolve_scalar(schema, c.text), c.want)) << "text \"" << c.text << "\"";
  }
}

TEST(CoreSchema, NullAndBooleanWordsTakeThreeCaseForms) {
  check_table(SchemaHandle::core(), {
      {"", null_()},          {"~", null_()},          {"null", null_()},       {"Null", null_()},
      {"NULL", null_()},      {"nUll", str_()},        {"nulls", str_()},       {"~~", str_()},
      {"true", bool_(true)},  {"True", bool_(true)},   {"TRUE", bool_(true)},   {"tRUE", str_()},
      {"false", bool_(false)}, {"False", bool_(false)}, {"FALSE", bool_(false)}, {"fAlse", str_()},
      {"yes", str_()},        {"no", str_()},          {"on", str_()},          {"y", str_()},
      {"n", str_()},          {"t", str_()},           {"hello", str_()},       {"Infinity", str_()},
  });
}

TEST(CoreSchema, IntegersInEveryBase) {
  check_table(SchemaHandle::core(), {
      {"0", int_(0)},       {"-0", int_(0)},        {"+5", int_(5)},         {"-5", int_(-5)},
      {"017", int_(17)},    {"007", int_(7)},       {"0x1F", int_(31)},      {"0X1f", int_(31)},
      {"0xabcDEF", int_(0xabcdef)}, {"0o17", int_(15)}, {"0O17", int_(15)},  {"0x-1", int_(-1)},
      {"0x+1F", int_(31)},  {"0o-10", int_(-8)},    {"-0x1", str_()},        {"+0x1", str_()},
      {"0x", str_()},       {"0o", str_()},         {"0x-", str_()},         {"0o8", str_()},
      {"0xG", str_()},      {"0b101", str_()},      {"1_000", str_()},       {"1 000", str_()},
      {"1,000", str_()},    {"--1", str_()},        {"+-1", str_()},         {"+", str_()},
      {"-", str_()},        {"1:30", str_()},       {"12abc", str_()},       {"0x1.5", str_()},
      {"2001-12-14", str_()}, {"0o1e5", str_()},
  });
}

TEST(CoreSchema, IntegerLimitsAreSigned64Bit) {
  check_table(SchemaHandle::core(), {
      {"9223372036854775807", int_(int64_max)},
      {"+9223372036854775807", int_(int64_max)},
      {"9223372036854775808", str_()},
      {"-9223372036854775808", int_(int64_min)},
      {"-9223372036854775809", str_()},
      {"00000000000000000000000000009223372036854775807", int_(int64_max)},
      {"99999999999999999999999999999", str_()},
      {"18446744073709551616", str_()},  // 2^64 must not wrap to 0
      {"0x7FFFFFFFFFFFFFFF", int_(int64_max)},
      {"0x8000000000000000", str_()},
      {"0x-8000000000000000", int_(int64_min)},
      {"0x-8000000000000001", str_()},
      {"0x10000000000000000", str_()},
      {"0o777777777777777777777", int_(int64_max)},
      {"0o1000000000000000000000", str_()},
      {"0o-1000000000000000000000", int_(int64_min)},
  });
}

TEST(CoreSchema, DecimalFloats) {
  check_table(SchemaHandle::core(), {
      {"1e3", float_(1000.0)},   {"1E3", float_(1000.0)},   {"1e+3", float_(1000.0)},  {"1e-3", float_(0.001)},
      {"1.", float_(1.0)},       {".5", float_(0.5)},       {"+.5", float_(0.5)},      {"-.5", float_(-0.5)},
      {"-1.5e-3", float_(-0.0015)}, {"0.1", float_(0.1)},   {"-0.0", float_(-0.0)},    {"0.0", float_(0.0)},
      {"1.5e03", float_(1500.0)}, {"00.25", float_(0.25)},  {"1e0", float_(1.0)},
      {".", str_()},             {"-.", str_()},            {"e3", str_()},            {".e3", str_()},
      {"1e", str_()},            {"1e+", str_()},           {"1.2.3", str_()},         {"1e3.5", str_()},
      {"1e3e3", str_()},         {"1.5f", str_()},          {"1_0.5", str_()},         {"1. 5", str_()},
      {"0x1p3", str_()},         {"1,5", str_()},
  });
}

TEST(CoreSchema, FloatsRoundCorrectlyAtTheEdgesOfTheDoubleRange) {
  check_table(SchemaHandle::core(), {
      {"0.30000000000000004", float_(0.30000000000000004)},
      {"9007199254740993.0", float_(9007199254740992.0)},  // halfway, ties to even
      {"1.7976931348623157e308", float_(1.7976931348623157e308)},
      {"1.7976931348623159e308", float_(inf)},
      {"1e400", float_(inf)},
      {"-1e400", float_(-inf)},
      {"1e99999999999999999999999", float_(inf)},
      {"123456789e-99999999999999999999999", float_(0.0)},
      {"0e99999999999999999999999", float_(0.0)},
      {"0.000000e99999999999999999999999", float_(0.0)},
      {"1e-400", float_(0.0)},
      {"-1e-400", float_(-0.0)},
      {"0.0000000000000000000001e-300", float_(1e-322)},
      {"5e-324", float_(std::numeric_limits<double>::denorm_min())},
      {"2.4703282292062328e-324", float_(std::numeric_limits<double>::denorm_min())},
      {"2.4703282292062327e-324", float_(0.0)},  // just below half the smallest subnormal
      {"2.2250738585072014e-308", float_(std::numeric_limits<double>::min())},
      {"100000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
       "000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
       "000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
       ".0",
       float_(inf)},
  });
}

TEST(CoreSchema, InfinityAndNanSpellings) {
  check_table(SchemaHandle::core(), {
      {".inf", float_(inf)},   {".Inf", float_(inf)},   {".INF", float_(inf)},   {"inf", float_(inf)},
      {"Inf", float_(inf)},    {"INF", float_(inf)},    {"-.inf", float_(-inf)}, {"-.Inf", float_(-inf)},
      {"-.INF", float_(-inf)}, {"-inf", float_(-inf)},  {"-Inf", float_(-inf)},  {"-INF", float_(-inf)},
      {".nan", float_(nan)},   {".NaN", float_(nan)},   {".NAN", float_(nan)},   {"nan", float_(nan)},
      {"NaN", float_(nan)},    {"NAN", float_(nan)},
      {"+.inf", str_()},       {"+inf", str_()},        {".iNf", str_()},        {"iNF", str_()},
      {".Nan", str_()},        {"Nan", str_()},         {"-.nan", str_()},       {"-nan", str_()},
      {"infinity", str_()},    {".infinity", str_()},   {"-.in", str_()},        {"in", str_()},
  });
}

TEST(CoreSchema, TrimsUnicodeWhiteSpaceButKeepsItInStrings) {
  check_table(SchemaHandle::core(), {
      {" 42 ", int_(42)},
      {"\t42\n", int_(42)},
      {"\r\n\v\f 0x1F", int_(31)},
      {"\xC2\xA0" "42" "\xE3\x80\x80", int_(42)},          // U+00A0 and U+3000
      {"\xE2\x80\xA8" "true" "\xC2\x85", bool_(true)},     // U+2028 and U+0085
      {"\xE1\x9A\x80" "1.5" "\xE2\x81\x9F", float_(1.5)},  // U+1680 and U+205F
      {"\xE2\x80\x80" "~" "\xE2\x80\x8A\xE2\x80\xAF", null_()},
      {"   ", null_()},
      {"\xE2\x80\xA9", null_()},
      {" abc ", str_()},
      {"4 2", str_()},
      {"\xE2\x80\x8B" "42", str_()},  // U+200B is not white space
      {"42\xEF\xBB\xBF", str_()},     // nor is U+FEFF
  });
}

TEST(JsonSchema, OnlyNullBooleansAndDecimalNumbers) {
  check_table(SchemaHandle::json(), {
      {"", null_()},          {"~", null_()},          {"null", null_()},        {"NULL", null_()},
      {"nUll", str_()},       {"True", bool_(true)},   {"FALSE", bool_(false)},  {"yes", str_()},
      {"0x1F", str_()},       {"0o17", str_()},        {"0X1E", str_()},         {"0x", str_()},
      {".inf", str_()},       {"-.inf", str_()},       {"inf", str_()},          {"NaN", str_()},
      {".nan", str_()},       {"1e3", float_(1000.0)}, {"1.", float_(1.0)},      {".5", float_(0.5)},
      {"-2.5E-1", float_(-0.25)}, {"012", int_(12)},   {"+5", int_(5)},          {"-0", int_(0)},
      {"9223372036854775807", int_(int64_max)},        {"9223372036854775808", str_()},
      {"-9223372036854775808", int_(int64_min)},       {" 7 ", int_(7)},
      {"1_000", str_()},      {".", str_()},           {"abc", str_()},          {"~x", str_()},
  });
}

TEST(Yaml11Schema, BooleanWordsThenCoreRules) {
  check_table(SchemaHandle::yaml11(), {
      {"y", bool_(true)},     {"Y", bool_(true)},      {"yes", bool_(true)},     {"Yes", bool_(true)},
      {"YES", bool_(true)},   {"on", bool_(true)},     {"On", bool_(true)},      {"ON", bool_(true)},
      {"true", bool_(true)},  {"True", bool_(true)},   {"TRUE", bool_(true)},
      {"n", bool_(false)},    {"N", bool_(false)},     {"no", bool_(false)},     {"No", bool_(false)},
      {"NO", bool_(false)},   {"off", bool_(false)},   {"Off", bool_(false)},    {"OFF", bool_(false)},
      {"false", bool_(false)}, {"False", bool_(false)}, {"FALSE", bool_(false)},
      {"yES", str_()},        {"oN", str_()},          {"nO", str_()},           {"oFF", str_()},
      {"ye", str_()},         {"of", str_()},          {"yess", str_()},
      {"", null_()},          {"~", null_()},          {"null", null_()},        {"NULL", null_()},
      {" yes ", bool_(true)}, {"\tN\n", bool_(false)},
      // Numbers are exactly core's: no underscores, sexagesimal or binary forms.
      {"0x1F", int_(31)},     {"0o17", int_(15)},      {"017", int_(17)},        {"1e3", float_(1000.0)},
      {".inf", float_(inf)},  {".nan", float_(nan)},   {"1_000", str_()},        {"1:30", str_()},
      {"0b101", str_()},      {"+.inf", str_()},       {"9223372036854775808", str_()},
  });
}

TEST(FailsafeSchema, EverythingIsAString) {
  check_table(SchemaHandle::failsafe(), {
      {"", str_()}, {"~", str_()}, {"null", str_()}, {"123", str_()}, {"true", str_()}, {"1.5", str_()},
      {".inf", str_()}, {"  ", str_()},
  });
}

TEST(SchemaHandle, DefaultsToCoreAndNumbersItsKinds) {
  EXPECT_EQ(SchemaHandle().kind(), SchemaKind::Core);
  EXPECT_EQ(static_cast<int>(SchemaKind::Failsafe), 0);
  EXPECT_EQ(static_cast<int>(SchemaKind::Json), 1);
  EXPECT_EQ(static_cast<int>(SchemaKind::Core), 2);
  EXPECT_EQ(static_cast<int>(SchemaKind::Yaml11), 3);
  EXPECT_EQ(static_cast<int>(SchemaKind::Custom), 4);
  EXPECT_EQ(SchemaHandle::json().custom_schema(), nullptr);
}

// Answers Int(length) for every text and remembers the last text it saw.
class LengthSchema final : public CustomSchema {
 public:
  Resolved resolve(std::string_view text) const override {
    last_text = std::string(text);
    return Resolved::integer(static_cast<std::int64_t>(text.size()));
  }
  mutable std::string last_text;
};

TEST(CustomSchema, HandleDelegatesTheUntrimmedTextAndKeepsTheSchemaAlive) {
  auto schema = std::make_shared<LengthSchema>();
  std::weak_ptr<LengthSchema> watch = schema;
  SchemaHandle handle = SchemaHandle::custom(schema);
  const LengthSchema* raw = schema.get();
  schema.reset();
  ASSERT_FALSE(watch.expired());

  SchemaHandle copy = handle;
  EXPECT_EQ(copy, handle);
  EXPECT_EQ(copy.kind(), SchemaKind::Custom);
  EXPECT_TRUE(matches(resolve_scalar(copy, " ab "), int_(4)));
  EXPECT_EQ(raw->last_text, " ab ");

  handle = SchemaHandle::core();
  EXPECT_FALSE(watch.expired());
  copy = SchemaHandle::core();
  EXPECT_TRUE(watch.expired());
}

TEST(CustomSchema, HandleWithoutASchemaResolvesEverythingAsString) {
  EXPECT_TRUE(matches(resolve_scalar(SchemaHandle::custom(nullptr), "123"), str_()));
}

// Every int64 written in decimal, hex and octal reads back as itself under all number-aware schemas.
TEST(ResolutionProperty, RandomIntegersRoundTrip) {
  std::mt19937_64 rng(20261211);
  std::vector<std::int64_t> values = {0, 1, -1, int64_max, int64_min, int64_max - 1, int64_min + 1};
  for (int i = 0; i < 20000; ++i) {
    const int bits = static_cast<int>(rng() % 64);
    values.push_back(static_cast<std::int64_t>(rng() >> bits) * ((rng() & 1) ? 1 : -1));
  }
  char text[64];
  for (std::int64_t v : values) {
    std::snprintf(text, sizeof text, "%" PRId64, v);
    for (const SchemaHandle& schema : {SchemaHandle::core(), SchemaHandle::json(), SchemaHandle::yaml11()}) {
      ASSERT_TRUE(matches(resolve_scalar(schema, text), int_(v))) << text;
    }
    const std::uint64_t magnitude = v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
    std::snprintf(text, sizeof text, "0x%s%" PRIX64, v < 0 ? "-" : "", magnitude);
    ASSERT_TRUE(matches(resolve_core_scalar(text), int_(v))) << text;
    std::snprintf(text, sizeof text, "0o%s%" PRIo64, v < 0 ? "-" : "", magnitude);
    ASSERT_TRUE(matches(resolve_core_scalar(text), int_(v))) << text;
  }
}

// Random finite doubles written with 17 significant digits (and in positional form) read back exactly.
TEST(ResolutionProperty, RandomDoublesRoundTrip) {
  std::mt19937_64 rng(7);
  char text[512];
  for (int i = 0; i < 50000; ++i) {
    const std::uint64_t bits = rng();
    double x;
    std::memcpy(&x, &bits, sizeof x);
    if (!std::isfinite(x)) continue;
    std::snprintf(text, sizeof text, "%.17e", x);
    ASSERT_TRUE(matches(resolve_core_scalar(text), float_(x))) << text;
    if (std::fabs(x) < 1e30 && std::fabs(x) > 1e-30) {
      std::snprintf(text, sizeof text, "%.40f", x);
      const double parsed = std::strtod(text, nullptr);  // the C library's rounding is the reference here
      ASSERT_TRUE(matches(resolve_core_scalar(text), float_(parsed))) << text;
    }
  }
}

// Short decimals of every length and scale, the texts that configuration files hold, with and without exponents;
// the C library's strtod is the reference rounding.
TEST(ResolutionProperty, RandomShortDecimalsRoundCorrectly) {
  std::mt19937_64 rng(99);
  char text[128];
  for (int i = 0; i < 50000; ++i) {
    const int digits = 1 + static_cast<int>(rng() % 20);
    std::uint64_t mantissa = rng();
    if (digits < 20) mantissa %= static_cast<std::uint64_t>(std::pow(10.0, digits));
    const int point = static_cast<int>(rng() % 25);
    const int exponent = static_cast<int>(rng() % 60) - 30;
    std::string s = std::to_string(mantissa);
    if (point < static_cast<int>(s.size())) s.insert(s.size() - static_cast<std::size_t>(point), ".");
    else s = "0." + std::string(static_cast<std::size_t>(point) - s.size(), '0') + s;
    if (rng() & 1) s = "-" + s;
    std::snprintf(text, sizeof text, (rng() & 1) ? "%se%d" : "%s", s.c_str(), exponent);
    ASSERT_TRUE(matches(resolve_core_scalar(text), float_(std::strtod(text, nullptr)))) << text;
  }
}

}  // namespace
}  // namespace velmo
