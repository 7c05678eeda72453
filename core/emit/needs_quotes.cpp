#include "emit/needs_quotes.hpp"

#include "schema/resolve_scalar.hpp"

namespace velmo {
namespace {

constexpr bool is_ascii_unprintable(unsigned char c) noexcept { return c < 0x20 || c == 0x7F; }

constexpr bool is_unprintable_code_point(char32_t cp) noexcept {
  return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) || cp == 0xA0 || cp == 0xFEFF ||
       (cp & 0xFFFE) == 0xFFFE;
}

// Code point of the UTF-8 sequence at text[i] (i at a byte >= 0x80) and its
// length; a malformed sequence gives length 1 and a harmless code point.
struct Sequence {
  char32_t cp;
  std::size_t length;
};

Sequence decode_at(std::string_view text, std::size_t i) noexcept {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  std::size_t length = 0;
  char32_t cp = 0;
  if (lead >= 0xC2 && lead <= 0xDF) length = 2, cp = lead & 0x1F;
  else if (lead >= 0xE0 && lead <= 0xEF) length = 3, cp = lead & 0x0F;
  else if (lead >= 0xF0 && lead <= 0xF4) length = 4, cp = lead & 0x07;
  else return {'?', 1};
  if (text.size() - i < length) return {'?', 1};
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return {'?', 1};
    cp = (cp << 6) | (byte(i + k) & 0x3F);
  }
  return {cp, length};
}

bool has_unprintable(std::string_view text) noexcept {
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      if (is_ascii_unprintable(c)) return true;
      ++i;
      continue;
    }
    const Sequence s = decode_at(text, i);
    if (is_unprintable_code_point(s.cp)) return true;
    i += s.length;
  }
  return false;
}

}  // namespace

bool needs_quotes(std::string_view text) noexcept {
  if (!resolve_core_scalar(text).is_str()) return true;  // includes the empty text
  if (text.front() == ' ' || text.back() == ' ') return true;
  return has_unprintable(text);
}

}  // namespace velmo
