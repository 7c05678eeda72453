// Expected scalar meanings for table-driven resolution tests.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "schema/resolved.hpp"

namespace velmo::testing {

struct Expected {
  Resolved::Kind kind;
  bool boolean = false;
  std::int64_t integer = 0;
  double real = 0.0;
};

inline Expected null_() { return {Resolved::Kind::Null}; }
inline Expected str_() { return {Resolved::Kind::Str}; }
inline Expected bool_(bool b) { return {Resolved::Kind::Bool, b}; }
inline Expected int_(std::int64_t i) { return {Resolved::Kind::Int, false, i}; }
inline Expected float_(double d) { return {Resolved::Kind::Float, false, 0, d}; }

inline const char* kind_name(Resolved::Kind kind) {
  switch (kind) {
    case Resolved::Kind::Null: return "Null";
    case Resolved::Kind::Bool: return "Bool";
    case Resolved::Kind::Int: return "Int";
    case Resolved::Kind::Float: return "Float";
    case Resolved::Kind::Str: return "Str";
  }
  return "?";
}

// Floats compare by bit pattern (so -0.0 differs from 0.0), except that any NaN matches any NaN.
inline ::testing::AssertionResult matches(const Resolved& got, const Expected& want) {
  if (got.kind() != want.kind) {
    return ::testing::AssertionFailure() << "kind " << kind_name(got.kind()) << ", expected " << kind_name(want.kind);
  }
  switch (want.kind) {
    case Resolved::Kind::Bool:
      if (got.as_bool() != want.boolean) return ::testing::AssertionFailure() << "bool " << got.as_bool();
      break;
    case Resolved::Kind::Int:
      if (got.as_int() != want.integer) return ::testing::AssertionFailure() << "int " << got.as_int();
      break;
    case Resolved::Kind::Float: {
      const double g = got.as_float();
      if (std::isnan(want.real) ? !std::isnan(g) : std::memcmp(&g, &want.real, sizeof g) != 0) {
        return ::testing::AssertionFailure() << "float " << g << " expected " << want.real;
      }
      break;
    }
    default:
      break;
  }
  return ::testing::AssertionSuccess();
}

struct Case {
  std::string_view text;
  Expected want;
};

}  // namespace velmo::testing
