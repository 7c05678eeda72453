#pragma once

#include <cstdint>

namespace velmo {

// What a plain scalar's text means under a schema. `Str` carries no text: the
// meaning is always the scalar's own text exactly as given, untrimmed.
class Resolved {
public:
  enum class Kind : std::uint8_t { Null, Bool, Int, Float, Str };

  static constexpr Resolved null() noexcept { return Resolved(Kind::Null); }
  static constexpr Resolved string() noexcept { return Resolved(Kind::Str); }
  static constexpr Resolved boolean(bool value) noexcept {
    Resolved r(Kind::Bool);
    r.value_.boolean = value;
    return r;
  }
  static constexpr Resolved integer(std::int64_t value) noexcept {
    Resolved r(Kind::Int);
    r.value_.integer = value;
    return r;
  }
  static constexpr Resolved floating(double value) noexcept {
    Resolved r(Kind::Float);
    r.value_.real = value;
    return r;
  }

  constexpr Kind kind() const noexcept { return kind_; }
  constexpr bool is_str() const noexcept { return kind_ == Kind::Str; }

  // Each accessor may be called only for its own kind.
  constexpr bool as_bool() const noexcept { return value_.boolean; }
  constexpr std::int64_t as_int() const noexcept { return value_.integer; }
  constexpr double as_float() const noexcept { return value_.real; }

private:
  constexpr explicit Resolved(Kind kind) noexcept : kind_(kind) {}

  union Value {
    std::int64_t integer = 0;
    double real;
    bool boolean;
  };
  Value value_{};
  Kind kind_;
};

}  // namespace velmo
