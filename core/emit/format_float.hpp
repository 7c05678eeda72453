#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace velmo {

// Text of a host float for YAML output: the shortest decimal that reads back
// as the same double, in positional notation (never an exponent), then ".0"
// when that text would not read back as a float under the core schema. So 1.0
// gives "1.0", 1e20 gives "100000000000000000000.0", 1e-7 gives "0.0000001",
// -0.0 gives "-0.0", the infinities "inf" and "-inf", and every NaN "NaN".
std::string format_float(double x);
void append_float(std::string& out, double x);

// The float-writing check: true when `text`, resolved under the core schema,
// is not a float, so that a writer of floats must append ".0".
bool needs_float_suffix(std::string_view text) noexcept;

// Array elements are written without the ".0": shortest positional text that
// reads back as the same value of the element's own width; NaN gives "NaN",
// the infinities "inf" and "-inf". So 1.0 gives "1".
void append_float_element(std::string& out, double x);
void append_float_element(std::string& out, float x);

// Complex array elements: "(", the real part, "+", the imaginary part, "j)",
// each part written as a float element of the same width: 1-2j gives "(1+-2j)".
void append_complex_element(std::string& out, double real, double imag);
void append_complex_element(std::string& out, float real, float imag);

}  // namespace velmo
