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

DecimalShape classify_decimal(std::string_view text) noexcept {
  std::size_t i = 0;
  const std::size_t n = text.size();
  if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < n && is_digit(text[i])) ++i, ++digits;
  if (i == n) return digits > 0 ? DecimalShape::Integer : DecimalShape::None;
  if (text[i] == '.') {
    ++i;
    while (i < n && is_digit(text[i])) ++i, ++digits;
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

double parse_decimal_float(std::string_view text) noexcept {
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
