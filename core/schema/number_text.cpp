#include "schema/number_text.hpp"

#include <charconv>
#include <limits>
#include <system_error>

namespace velmo {
namespace {

constexpr bool is_digit(char c) noexcept { return c >= '0' && c <= '9'; }

constexpr unsigned digit_value(char c) noexcept {
  if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
  if (c >= 'a' && c <= 'z') return static_cast<unsigned>(c - 'a' + 10);
  if (c >= 'A' && c <= 'Z') return static_cast<unsigned>(c - 'A' + 10);
  return 255;
}

// Decides between overflow and underflow for a decimal text that from_chars
// reported out of range, by the position of its first significant digit.
bool is_beyond_largest(std::string_view text) noexcept {
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  long magnitude = 0;  // decimal exponent of the first significant digit, plus one
  bool significant = false;
  for (; i < text.size() && is_digit(text[i]); ++i) {
    if (text[i] != '0') significant = true;
    if (significant) ++magnitude;
  }
  if (i < text.size() && text[i] == '.') {
    for (++i; i < text.size() && is_digit(text[i]); ++i) {
      if (significant) continue;
      if (text[i] != '0') significant = true;
      else --magnitude;
    }
  }
  long exponent = 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    constexpr long cap = 1'000'000'000;  // far beyond any double; keeps the sum exact
    for (; i < text.size() && is_digit(text[i]); ++i) {
      if (exponent < cap) exponent = exponent * 10 + (text[i] - '0');
    }
    if (negative) exponent = -exponent;
  }
  return significant && magnitude + exponent > 0;
}

}  // namespace

std::optional<std::int64_t> parse_integer(std::string_view text, unsigned base) noexcept {
  std::size_t i = 0;
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    i = 1;
  }
  if (i == text.size()) return std::nullopt;
  const std::uint64_t limit =
    negative ? std::uint64_t{1} << 63
         : static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  std::uint64_t value = 0;
  for (; i < text.size(); ++i) {
    const unsigned digit = digit_value(text[i]);
    if (digit >= base) return std::nullopt;
    if (__builtin_mul_overflow(value, base, &value) ||
      __builtin_add_overflow(value, digit, &value) || value > limit) {
      return std::nullopt;
    }
  }
  // Modular conversion: 2^63 with a minus sign becomes INT64_MIN.
  return negative ? static_cast<std::int64_t>(0 - value) : static_cast<std::int64_t>(value);
}

namespace {

// The float grammar from position i on, after `digits` leading digits.
DecimalShape classify_float_tail(std::string_view text, std::size_t i, std::size_t digits) noexcept {
  const std::size_t n = text.size();
  if (text[i] == '.') {
    for (++i; i < n && is_digit(text[i]); ++i) ++digits;
  }
  if (digits == 0) return DecimalShape::None;
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
    const std::size_t exponent_start = i;
    while (i < n && is_digit(text[i])) ++i;
    if (i == exponent_start) return DecimalShape::None;
  }
  return i == n ? DecimalShape::Float : DecimalShape::None;
}

}  // namespace

DecimalScan scan_decimal(std::string_view text) noexcept {
  const std::size_t n = text.size();
  std::size_t i = 0;
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const std::size_t first_digit = i;
  std::uint64_t value = 0;  // exact while at most 19 digits have been read
  for (; i < n && is_digit(text[i]); ++i) value = value * 10 + static_cast<unsigned>(text[i] - '0');
  const std::size_t digits = i - first_digit;
  if (i < n) return {classify_float_tail(text, i, digits), false, 0};
  if (digits == 0) return {DecimalShape::None, false, 0};
  if (digits <= 18) {  // below 10^18, so it fits either sign
    const auto magnitude = static_cast<std::int64_t>(value);
    return {DecimalShape::Integer, true, negative ? -magnitude : magnitude};
  }
  // Long digit runs (leading zeros, or values near the limit) take the checked reader.
  const auto checked = parse_integer(text, 10);
  return {DecimalShape::Integer, checked.has_value(), checked.value_or(0)};
}

DecimalShape classify_decimal(std::string_view text) noexcept { return scan_decimal(text).shape; }

namespace {

// Clinger's fast path: a mantissa of at most 2^53 scaled by 10^k with |k| <= 22
// is one correctly rounded multiplication or division of exact doubles.
// Returns false when the text is outside that range.
bool parse_exact_small_float(std::string_view text, double& out) noexcept {
  static constexpr double powers_of_ten[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                             1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                             1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  const std::size_t n = text.size();
  std::size_t i = 0;
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::uint64_t mantissa = 0;
  int digits = 0;  // counted from the first non-zero digit
  int scale = 0;   // power of ten to apply to the mantissa
  for (; i < n && is_digit(text[i]); ++i) {
    if (digits > 0 || text[i] != '0') ++digits;
    mantissa = mantissa * 10 + static_cast<unsigned>(text[i] - '0');
    if (digits > 19) return false;
  }
  if (i < n && text[i] == '.') {
    for (++i; i < n && is_digit(text[i]); ++i) {
      if (digits > 0 || text[i] != '0') ++digits;
      mantissa = mantissa * 10 + static_cast<unsigned>(text[i] - '0');
      --scale;
      if (digits > 19) return false;
    }
  }
  if (i < n) {  // 'e' or 'E', an optional sign and digits, as the grammar was checked
    ++i;
    bool negative_exponent = false;
    if (text[i] == '+' || text[i] == '-') negative_exponent = text[i++] == '-';
    int exponent = 0;
    for (; i < n; ++i) {
      exponent = exponent * 10 + (text[i] - '0');
      if (exponent > 1000) return false;
    }
    scale += negative_exponent ? -exponent : exponent;
  }
  if (mantissa > (std::uint64_t{1} << 53) || scale < -22 || scale > 22) return false;
  const double m = static_cast<double>(mantissa);
  const double value = scale < 0 ? m / powers_of_ten[-scale] : m * powers_of_ten[scale];
  out = negative ? -value : value;
  return true;
}

}  // namespace

double parse_decimal_float(std::string_view text) noexcept {
  double fast = 0.0;
  if (parse_exact_small_float(text, fast)) return fast;
  // from_chars takes no leading '+'.
  std::string_view digits = text;
  if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
  double value = 0.0;
  const auto [end, error] =
    std::from_chars(digits.data(), digits.data() + digits.size(), value);
  (void)end;
  if (error == std::errc::result_out_of_range) {
    const bool negative = !digits.empty() && digits.front() == '-';
    const double magnitude =
      is_beyond_largest(digits) ? std::numeric_limits<double>::infinity() : 0.0;
    return negative ? -magnitude : magnitude;
  }
  return value;
}

}  // namespace velmo
