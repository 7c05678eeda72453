// Small Unicode helpers over UTF-8 text: validation and white-space trimming.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace velmo::text {

// One code point of possibly malformed UTF-8. A malformed byte reads as itself with `valid` false, so a scan
// never stops or overruns on bad input.
struct CodePoint {
  std::uint32_t value;
  std::size_t length;
  bool valid;
};

// The code point starting at s[i] (i < s.size()): no overlongs, no surrogates, nothing above U+10FFFF.
CodePoint decode_utf8_at(std::string_view s, std::size_t i) noexcept;

// Writes the UTF-8 form of code point `cp` (at most U+10FFFF) into `out` and returns its length in bytes.
inline std::size_t encode_utf8(std::uint32_t cp, char out[4]) noexcept {
  if (cp < 0x80) {
    out[0] = static_cast<char>(cp);
    return 1;
  }
  if (cp < 0x800) {
    out[0] = static_cast<char>(0xC0 | (cp >> 6));
    out[1] = static_cast<char>(0x80 | (cp & 0x3F));
    return 2;
  }
  if (cp < 0x10000) {
    out[0] = static_cast<char>(0xE0 | (cp >> 12));
    out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (cp & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | (cp >> 18));
  out[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
  out[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
  out[3] = static_cast<char>(0x80 | (cp & 0x3F));
  return 4;
}

// True when `s` is well-formed UTF-8 (no overlongs, no surrogates, nothing above U+10FFFF).
bool is_valid_utf8(std::string_view s) noexcept;

// Length in bytes of the white-space character (Unicode White_Space property) starting at s[i], or 0 if the
// character there is not white space. `s` must be valid UTF-8.
std::size_t white_space_length_at(std::string_view s, std::size_t i) noexcept;

// Length of the white-space character that ends just before s[end], or 0.
std::size_t white_space_length_before(std::string_view s, std::size_t end) noexcept;

// `s` without Unicode white space at either end.
std::string_view trim_white_space(std::string_view s) noexcept;

}  // namespace velmo::text

namespace velmo::text {

// Where UTF-8 validation fails: the byte offset of the bad sequence, and its length in bytes (0 when the text
// ends inside a character). The length follows the "maximal subpart" rule: the bytes that could still have
// begun a valid character.
struct Utf8Error {
  std::size_t index;
  std::size_t length;
};

// The first error in `s`, or nothing when `s` is valid UTF-8.
std::optional<Utf8Error> find_utf8_error(std::string_view s) noexcept;

}  // namespace velmo::text
