// The load pipeline's error value and its conversion to the error raised at the module surface.
#pragma once

#include <cstdint>
#include <string>

#include "errors/error.hpp"

namespace velmo {

struct LoadError {
  enum class Kind : std::uint8_t { Parse, DuplicateKey, DepthExceeded };

  Kind kind;
  // Parse: the full message ("YAML parse error: ..." with its position); DuplicateKey: the key text.
  std::string text;

  static LoadError parse(std::string message) { return {Kind::Parse, std::move(message)}; }
  static LoadError duplicate_key(std::string key) { return {Kind::DuplicateKey, std::move(key)}; }
  static LoadError depth_exceeded() { return {Kind::DepthExceeded, {}}; }
};

// The error a failed load raises; `max_depth` is the limit that was in force.
Error to_error(const LoadError& e, std::uint64_t max_depth);

}  // namespace velmo
