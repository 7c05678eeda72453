#include "emit/format_float.hpp"

#include <charconv>
#include <cmath>
#include <system_error>

#include "schema/resolve_scalar.hpp"

namespace velmo {
namespace {

// Shortest round-trip digits laid out without an exponent: the digits of the
// shortest scientific form, shifted by its exponent and padded with zeros (so
// 1e300 is a 1 and 300 zeros, not the double's exact decimal expansion).
// Returns whether the text holds a '.' or is an infinity or NaN: exactly the
// texts of this form that the core schema reads as floats.
template <typename Float>
bool append_positional(std::string& out, Float x) {
  if (std::isnan(x)) {
    out += "NaN";
    return true;
  }
  if (std::isinf(x)) {
    out += x < 0 ? "-inf" : "inf";
    return true;
  }
  char scientific[40];  // "-d.ddddddddddddddddde-308" at most
  const auto [end, error] =
      std::to_chars(scientific, scientific + sizeof scientific, x, std::chars_format::scientific);
  (void)error;  // the buffer covers every finite value
  std::string_view text(scientific, static_cast<std::size_t>(end - scientific));

  if (text.front() == '-') {
    out += '-';
    text.remove_prefix(1);
  }
  const std::size_t e_at = text.find('e');
  const std::string_view mantissa = text.substr(0, e_at);  // "d" or "d.ddd"
  int exponent = 0;
  std::string_view exponent_text = text.substr(e_at + 1);
  if (exponent_text.front() == '+') exponent_text.remove_prefix(1);
  std::from_chars(exponent_text.data(), exponent_text.data() + exponent_text.size(), exponent);

  char digits[24];
  std::size_t count = 0;
  for (char c : mantissa) {
    if (c != '.') digits[count++] = c;
  }
  const std::string_view all(digits, count);
  if (exponent < 0) {
    out += "0.";
    out.append(static_cast<std::size_t>(-exponent - 1), '0');
    out += all;
    return true;
  }
  if (static_cast<std::size_t>(exponent) + 1 >= count) {
    out += all;
    out.append(static_cast<std::size_t>(exponent) + 1 - count, '0');
    return false;
  }
  const std::size_t whole = static_cast<std::size_t>(exponent) + 1;
  out += all.substr(0, whole);
  out += '.';
  out += all.substr(whole);
  return true;
}

}  // namespace

bool needs_float_suffix(std::string_view text) noexcept {
  return resolve_core_scalar(text).kind() != Resolved::Kind::Float;
}

void append_float(std::string& out, double x) {
  // Same answer as needs_float_suffix on the text just written, without reading it again.
  if (!append_positional(out, x)) out += ".0";
}

std::string format_float(double x) {
  std::string out;
  append_float(out, x);
  return out;
}

void append_float_element(std::string& out, double x) { append_positional(out, x); }

void append_float_element(std::string& out, float x) { append_positional(out, x); }

namespace {
template <class Float>
void append_complex(std::string& out, Float real, Float imag) {
  out += '(';
  append_positional(out, real);
  out += '+';
  append_positional(out, imag);
  out += "j)";
}
}  // namespace

void append_complex_element(std::string& out, double real, double imag) { append_complex(out, real, imag); }

void append_complex_element(std::string& out, float real, float imag) { append_complex(out, real, imag); }

}  // namespace velmo
