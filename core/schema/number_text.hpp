#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace velmo {

// Number readers shared by the built-in schemas and custom schema rules. They
// read the whole text or nothing; none of them allocates.

// An optional '+' or '-', then one or more digits of `base` (2 to 16; letters
// in either case), with a value that fits a signed 64-bit integer.
std::optional<std::int64_t> parse_integer(std::string_view text, unsigned base) noexcept;

enum class DecimalShape : std::uint8_t {
  None,     // neither form below
  Integer,  // sign? digit+
  Float,    // a decimal float holding '.', 'e' or 'E'
};

// Decimal float grammar: sign? then digits with at most one '.' among them
// (at least one digit in all), then optionally e|E sign? digit+.
DecimalShape classify_decimal(std::string_view text) noexcept;

// One pass over a decimal text: its shape and, for the Integer shape, its
// value when that fits a signed 64-bit integer.
struct DecimalScan {
  DecimalShape shape;
  bool fits;
  std::int64_t value;
};
DecimalScan scan_decimal(std::string_view text) noexcept;

// The nearest double to a text of DecimalShape::Float or DecimalShape::Integer
// (correctly rounded; beyond the double range the result is an infinity or a
// signed zero).
double parse_decimal_float(std::string_view text) noexcept;

}  // namespace velmo
