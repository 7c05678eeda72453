#include "schema/resolve_scalar.hpp"

#include <cstddef>
#include <limits>

#include "schema/number_text.hpp"
#include "text/unicode.hpp"

namespace velmo {
namespace {

// Most scalars start and end with a visible ASCII character; only the rest
// pay for the Unicode white-space trim.
inline std::string_view trim(std::string_view text) noexcept {
  if (!text.empty()) {
    const auto first = static_cast<unsigned char>(text.front());
    const auto last = static_cast<unsigned char>(text.back());
    if (first > 0x20 && first < 0x7F && last > 0x20 && last < 0x7F) return text;
  }
  return text::trim_white_space(text);
}

template <std::size_t N>
constexpr bool is_one_of(std::string_view t, const std::string_view (&words)[N]) noexcept {
  for (std::string_view word : words) {
    if (t == word) return true;
  }
  return false;
}

constexpr std::string_view null_words[] = {"null", "Null", "NULL"};
constexpr std::string_view true_words[] = {"true", "True", "TRUE"};
constexpr std::string_view false_words[] = {"false", "False", "FALSE"};
constexpr std::string_view infinity_words[] = {".inf", ".Inf", ".INF", "inf", "Inf", "INF"};
constexpr std::string_view negative_infinity_words[] = {"-.inf", "-.Inf", "-.INF", "-inf", "-Inf", "-INF"};
constexpr std::string_view nan_words[] = {".nan", ".NaN", ".NAN", "nan", "NaN", "NAN"};

constexpr std::string_view on_words[] = {"on", "On", "ON"};
constexpr std::string_view off_words[] = {"off", "Off", "OFF"};
constexpr std::string_view yes_words[] = {"yes", "Yes", "YES"};
constexpr std::string_view no_words[] = {"no", "No", "NO"};

constexpr double infinity = std::numeric_limits<double>::infinity();

// Decimal integers and floats, the numbers that core and json share. Integers
// beyond 64 bits are strings, never floats.
Resolved resolve_decimal(std::string_view t) noexcept {
  const DecimalScan scan = scan_decimal(t);
  switch (scan.shape) {
  case DecimalShape::Integer:
    return scan.fits ? Resolved::integer(scan.value) : Resolved::string();
  case DecimalShape::Float:
    return Resolved::floating(parse_decimal_float(t));
  case DecimalShape::None:
    break;
  }
  return Resolved::string();
}

Resolved resolve_prefixed_integer(std::string_view digits, unsigned base) noexcept {
  if (const auto value = parse_integer(digits, base)) return Resolved::integer(*value);
  return Resolved::string();
}

// Core rules on text that is already trimmed.
Resolved resolve_core_trimmed(std::string_view t) noexcept {
  if (t.empty()) return Resolved::null();
  switch (t.front()) {
  case '~':
    return t.size() == 1 ? Resolved::null() : Resolved::string();
  case 'n':
  case 'N':
    if (is_one_of(t, null_words)) return Resolved::null();
    if (is_one_of(t, nan_words)) return Resolved::floating(std::numeric_limits<double>::quiet_NaN());
    return Resolved::string();
  case 't':
  case 'T':
    return is_one_of(t, true_words) ? Resolved::boolean(true) : Resolved::string();
  case 'f':
  case 'F':
    return is_one_of(t, false_words) ? Resolved::boolean(false) : Resolved::string();
  case 'i':
  case 'I':
    return is_one_of(t, infinity_words) ? Resolved::floating(infinity) : Resolved::string();
  case '.':
    if (t.size() == 4) {
      if (is_one_of(t, infinity_words)) return Resolved::floating(infinity);
      if (is_one_of(t, nan_words)) return Resolved::floating(std::numeric_limits<double>::quiet_NaN());
    }
    return resolve_decimal(t);
  case '-':
    if (t.size() <= 5 && is_one_of(t, negative_infinity_words)) return Resolved::floating(-infinity);
    return resolve_decimal(t);
  case '0':
    if (t.size() >= 2) {
      // The digits after the prefix may carry their own sign: "0x-1" is -1.
      if (t[1] == 'o' || t[1] == 'O') return resolve_prefixed_integer(t.substr(2), 8);
      if (t[1] == 'x' || t[1] == 'X') return resolve_prefixed_integer(t.substr(2), 16);
    }
    return resolve_decimal(t);
  case '+':
  case '1':
  case '2':
  case '3':
  case '4':
  case '5':
  case '6':
  case '7':
  case '8':
  case '9':
    return resolve_decimal(t);
  default:
    return Resolved::string();
  }
}

// Json has no prefixed integers and no infinity or NaN spellings; only the
// words null, true, false and decimal numbers are recognised.
Resolved resolve_json(std::string_view text) noexcept {
  const std::string_view t = trim(text);
  if (t.empty()) return Resolved::null();
  switch (t.front()) {
  case '~':
    return t.size() == 1 ? Resolved::null() : Resolved::string();
  case 'n':
  case 'N':
    return is_one_of(t, null_words) ? Resolved::null() : Resolved::string();
  case 't':
  case 'T':
    return is_one_of(t, true_words) ? Resolved::boolean(true) : Resolved::string();
  case 'f':
  case 'F':
    return is_one_of(t, false_words) ? Resolved::boolean(false) : Resolved::string();
  case '0':
    // "0x1E" and "0o7" are strings; the decimal grammar already rejects them.
  case '+':
  case '-':
  case '.':
  case '1':
  case '2':
  case '3':
  case '4':
  case '5':
  case '6':
  case '7':
  case '8':
  case '9':
    return resolve_decimal(t);
  default:
    return Resolved::string();
  }
}

// YAML 1.1 adds its boolean words to core; numbers are core's.
Resolved resolve_yaml11(std::string_view text) noexcept {
  const std::string_view t = trim(text);
  if (t.size() == 1) {
    if (t[0] == 'y' || t[0] == 'Y') return Resolved::boolean(true);
    if (t[0] == 'n' || t[0] == 'N') return Resolved::boolean(false);
  } else if (t.size() >= 2 && t.size() <= 5) {
    switch (t.front()) {
    case 'o':
    case 'O':
      if (is_one_of(t, on_words)) return Resolved::boolean(true);
      if (is_one_of(t, off_words)) return Resolved::boolean(false);
      break;
    case 'y':
    case 'Y':
      if (is_one_of(t, yes_words)) return Resolved::boolean(true);
      break;
    case 'n':
    case 'N':
      if (is_one_of(t, no_words)) return Resolved::boolean(false);
      break;
    default:
      break;
    }
  }
  // Empty, "~", true, false and null words resolve identically under core.
  return resolve_core_trimmed(t);
}

}  // namespace

Resolved resolve_core_scalar(std::string_view text) noexcept {
  return resolve_core_trimmed(trim(text));
}

Resolved resolve_scalar(const SchemaHandle& schema, std::string_view text) {
  switch (schema.kind()) {
  case SchemaKind::Failsafe:
    return Resolved::string();
  case SchemaKind::Json:
    return resolve_json(text);
  case SchemaKind::Core:
    return resolve_core_scalar(text);
  case SchemaKind::Yaml11:
    return resolve_yaml11(text);
  case SchemaKind::Custom:
    if (const CustomSchema* custom = schema.custom_schema()) return custom->resolve(text);
    return Resolved::string();
  }
  return Resolved::string();
}

}  // namespace velmo
