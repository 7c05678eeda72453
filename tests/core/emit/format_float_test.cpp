#include "emit/format_float.hpp"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "schema/resolve_scalar.hpp"

namespace velmo {
namespace {

constexpr double inf = std::numeric_limits<double>::infinity();

std::string zeros(std::size_t n) { return std::string(n, '0'); }

TEST(FormatFloat, ShortestPositionalTextWithAPointZeroWhenNeeded) {
  const struct {
    double x;
    std::string text;
  } cases[] = {
      {1.0, "1.0"},
      {0.0, "0.0"},
      {-0.0, "-0.0"},
      {-1.0, "-1.0"},
      {0.1, "0.1"},
      {1.5, "1.5"},
      {-2.5, "-2.5"},
      {0.30000000000000004, "0.30000000000000004"},
      {123456789.0, "123456789.0"},
      {9007199254740992.0, "9007199254740992.0"},
      {1e16, "10000000000000000.0"},
      {1e20, "100000000000000000000.0"},
      {1e21, "1000000000000000000000.0"},
      {1e-7, "0.0000001"},
      {1.5e-10, "0.00000000015"},
      {1e300, "1" + zeros(300) + ".0"},
      {-1e300, "-1" + zeros(300) + ".0"},
      {5e-324, "0." + zeros(323) + "5"},
      {-5e-324, "-0." + zeros(323) + "5"},
      {2.2250738585072014e-308, "0." + zeros(307) + "22250738585072014"},
      {1.7976931348623157e308, "17976931348623157" + zeros(292) + ".0"},
      {inf, "inf"},
      {-inf, "-inf"},
      {std::numeric_limits<double>::quiet_NaN(), "NaN"},
      {-std::numeric_limits<double>::quiet_NaN(), "NaN"},
      {std::numeric_limits<double>::signaling_NaN(), "NaN"},
  };
  for (const auto& c : cases) EXPECT_EQ(format_float(c.x), c.text) << c.text;
}

TEST(FormatFloat, AppendsAfterExistingOutput) {
  std::string out = "key: ";
  append_float(out, 2.0);
  out += ", ";
  append_float(out, 0.25);
  EXPECT_EQ(out, "key: 2.0, 0.25");
}

TEST(FormatFloat, FloatWritingCheck) {
  for (const char* text : {"1", "-0", "0", "123456789012345678901234", "abc", "", "+.inf"}) {
    EXPECT_TRUE(needs_float_suffix(text)) << text;
  }
  for (const char* text : {"1.5", "1.", "inf", "-inf", "NaN", "1e3", "0.0000001"}) {
    EXPECT_FALSE(needs_float_suffix(text)) << text;
  }
}

// parse(format_float(x)) == x, checked with a reference parser and with the core schema.
void check_round_trip(double x) {
  SCOPED_TRACE(x);
  const std::string text = format_float(x);
  ASSERT_EQ(text.find_first_of("eE"), std::string::npos) << text;
  // The ".0" is there exactly when the core schema would not read the bare positional text as a float.
  std::string bare;
  append_float_element(bare, x);
  ASSERT_EQ(text, needs_float_suffix(bare) ? bare + ".0" : bare);
  ASSERT_FALSE(needs_float_suffix(text)) << text;
  if (std::isinf(x)) return;
  double back = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), back);
  ASSERT_EQ(error, std::errc()) << text;
  ASSERT_EQ(end, text.data() + text.size()) << text;
  ASSERT_EQ(std::memcmp(&back, &x, sizeof x), 0) << text;
  const Resolved resolved = resolve_core_scalar(text);
  ASSERT_EQ(resolved.kind(), Resolved::Kind::Float) << text;
  const double resolved_value = resolved.as_float();
  ASSERT_EQ(std::memcmp(&resolved_value, &x, sizeof x), 0) << text;
}

// Random bit patterns cover every exponent and sign.
TEST(FormatFloat, RandomDoublesRoundTrip) {
  std::mt19937_64 rng(42);
  for (int i = 0; i < 100000; ++i) {
    const std::uint64_t bits = rng();
    double x;
    std::memcpy(&x, &bits, sizeof x);
    if (std::isnan(x)) continue;
    check_round_trip(x);
    // Whole numbers of every size, which take the ".0".
    int exponent = 0;
    const double fraction = std::frexp(x, &exponent);
    check_round_trip(std::trunc(std::ldexp(fraction, static_cast<int>(rng() % 1100))));
    if (::testing::Test::HasFatalFailure()) return;
  }
}

TEST(FormatFloatElement, NoPointZeroAndTheElementsOwnWidth) {
  const auto as_text = [](auto x) {
    std::string out;
    append_float_element(out, x);
    return out;
  };
  EXPECT_EQ(as_text(1.0), "1");
  EXPECT_EQ(as_text(2.5), "2.5");
  EXPECT_EQ(as_text(-0.0), "-0");
  EXPECT_EQ(as_text(1e20), "100000000000000000000");
  EXPECT_EQ(as_text(inf), "inf");
  EXPECT_EQ(as_text(-inf), "-inf");
  EXPECT_EQ(as_text(std::nan("")), "NaN");
  EXPECT_EQ(as_text(0.1f), "0.1");  // not 0.10000000149011612
  EXPECT_EQ(as_text(1.0f), "1");
  EXPECT_EQ(as_text(16777216.0f), "16777216");
  EXPECT_EQ(as_text(3.4028235e38f), "340282350000000000000000000000000000000");
  EXPECT_EQ(as_text(1e-45f), "0." + zeros(44) + "1");
  EXPECT_EQ(as_text(std::numeric_limits<float>::infinity()), "inf");
  EXPECT_EQ(as_text(std::nanf("")), "NaN");
}

TEST(FormatFloatElement, ComplexParts) {
  const auto as_text = [](auto re, auto im) {
    std::string out;
    append_complex_element(out, re, im);
    return out;
  };
  EXPECT_EQ(as_text(1.0, 2.0), "(1+2j)");
  EXPECT_EQ(as_text(1.0, -2.0), "(1+-2j)");
  EXPECT_EQ(as_text(0.5, 1e20), "(0.5+100000000000000000000j)");
  EXPECT_EQ(as_text(std::nan(""), -inf), "(NaN+-infj)");
  EXPECT_EQ(as_text(0.1f, -0.0f), "(0.1+-0j)");
}

}  // namespace
}  // namespace velmo
