// Byte classes of the YAML grammar and bulk scans over byte ranges.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace velmo::events::detail {

inline bool is_blank(unsigned c) { return c == ' ' || c == '\t'; }
inline bool is_break(unsigned c) { return c == '\n' || c == '\r'; }
// Blank, line break, or the end of the input (peek() gives 0 there).
inline bool is_blankz(unsigned c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == 0; }
inline bool is_flow_indicator(unsigned c) { return c == ',' || c == '[' || c == ']' || c == '{' || c == '}'; }
inline bool is_digit(unsigned c) { return c >= '0' && c <= '9'; }
inline bool is_hex(unsigned c) { return is_digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
inline unsigned hex_value(unsigned c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; }
inline bool is_alnum(unsigned c) { return is_digit(c) || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z'); }
// Characters of a tag handle or directive name.
inline bool is_word(unsigned c) { return is_alnum(c) || c == '-' || c == '_'; }

// URI characters allowed in tags. Shorthand suffixes also exclude '!' and the
// flow indicators; verbatim tags and %TAG prefixes allow them.
inline bool is_uri_char(unsigned c, bool shorthand) {
  if (is_alnum(c)) return true;
  switch (c) {
    case '-': case ';': case '/': case '?': case ':': case '@': case '&': case '=': case '+': case '$':
    case '_': case '.': case '~': case '*': case '\'': case '(': case ')': case '#':
      return true;
    case '!': case ',': case '[': case ']':
      return !shorthand;
    default:
      return false;
  }
}

// Length of the leading run of [p, lim) holding no byte <= Threshold and none
// of Stops; `non_ascii` is set when the run holds a byte >= 0x80 (so that the
// caller knows whether it must count UTF-8 continuation bytes). SSE2 checks 16
// bytes per step.
template <unsigned char Threshold, char... Stops>
inline std::size_t run_length(const char* p, const char* lim, bool& non_ascii) {
  const char* const begin = p;
  unsigned high = 0;
#if defined(__SSE2__)
  const __m128i threshold = _mm_set1_epi8(static_cast<char>(Threshold));
  while (lim - p >= 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    __m128i hit = _mm_cmpeq_epi8(_mm_max_epu8(v, threshold), threshold);
    ((hit = _mm_or_si128(hit, _mm_cmpeq_epi8(v, _mm_set1_epi8(Stops)))), ...);
    const unsigned bits = static_cast<unsigned>(_mm_movemask_epi8(hit));
    const unsigned top = static_cast<unsigned>(_mm_movemask_epi8(v));
    if (bits != 0) {
      non_ascii = (high | (top & ((bits & (0U - bits)) - 1U))) != 0;  // high bytes before the first hit
      return static_cast<std::size_t>(p - begin) + static_cast<std::size_t>(std::countr_zero(bits));
    }
    high |= top;
    p += 16;
  }
#endif
  for (; p < lim; ++p) {
    const auto c = static_cast<unsigned char>(*p);
    if (c <= Threshold || ((c == static_cast<unsigned char>(Stops)) || ...)) break;
    high |= c & 0x80U;
  }
  non_ascii = high != 0;
  return static_cast<std::size_t>(p - begin);
}

template <unsigned char Threshold, char... Stops>
inline std::size_t run_length(const char* p, const char* lim) {
  bool non_ascii = false;
  return run_length<Threshold, Stops...>(p, lim, non_ascii);
}

// Length of the run of spaces at the start of [p, lim).
inline std::size_t space_run(const char* p, const char* lim) {
  const char* const begin = p;
  while (lim - p >= 8) {
    std::uint64_t word;
    std::memcpy(&word, p, 8);
    const std::uint64_t diff = word ^ 0x2020202020202020ULL;
    if (diff != 0) return static_cast<std::size_t>(p - begin) + static_cast<std::size_t>(std::countr_zero(diff) / 8);
    p += 8;
  }
  while (p < lim && *p == ' ') ++p;
  return static_cast<std::size_t>(p - begin);
}

}  // namespace velmo::events::detail
