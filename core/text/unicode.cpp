#include "text/unicode.hpp"

namespace velmo::text {

CodePoint decode_utf8_at(std::string_view s, std::size_t i) noexcept {
  const auto* p = reinterpret_cast<const unsigned char*>(s.data()) + i;
  const std::size_t avail = s.size() - i;
  const unsigned c = p[0];
  if (c < 0x80) return {c, 1, true};
  std::size_t n;
  std::uint32_t cp;
  if (c >= 0xC2 && c <= 0xDF) {
    n = 1;
    cp = c & 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 2;
    cp = c & 0x0F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 3;
    cp = c & 0x07;
  } else {
    return {c, 1, false};
  }
  if (avail <= n) return {c, 1, false};
  for (std::size_t k = 1; k <= n; ++k) {
    if ((p[k] & 0xC0) != 0x80) return {c, 1, false};
    cp = (cp << 6) | (p[k] & 0x3F);
  }
  if ((n == 2 && cp < 0x800) || (n == 3 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF)) {
    return {c, 1, false};
  }
  return {cp, n + 1, true};
}

bool is_valid_utf8(std::string_view s) noexcept {
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  std::size_t i = 0;
  const std::size_t n = s.size();
  while (i < n) {
    // ASCII runs are the common case: skip eight bytes at a time.
    while (n - i >= 8) {
      std::uint64_t w;
      __builtin_memcpy(&w, p + i, 8);
      if (w & 0x8080808080808080ULL) break;
      i += 8;
    }
    if (i == n) break;
    if (p[i] < 0x80) {
      ++i;
      continue;
    }
    const CodePoint cp = decode_utf8_at(s, i);
    if (!cp.valid) return false;
    i += cp.length;
  }
  return true;
}

namespace {

// Non-ASCII White_Space code points, as UTF-8: U+0085, U+00A0, U+1680, U+2000..U+200A, U+2028, U+2029,
// U+202F, U+205F, U+3000.
std::size_t non_ascii_space_length(const unsigned char* p, std::size_t avail) noexcept {
  if (avail >= 2 && p[0] == 0xC2 && (p[1] == 0x85 || p[1] == 0xA0)) return 2;
  if (avail < 3) return 0;
  if (p[0] == 0xE1 && p[1] == 0x9A && p[2] == 0x80) return 3;
  if (p[0] == 0xE2 && p[1] == 0x80) {
    unsigned c = p[2];
    if ((c >= 0x80 && c <= 0x8A) || c == 0xA8 || c == 0xA9 || c == 0xAF) return 3;
    return 0;
  }
  if (p[0] == 0xE2 && p[1] == 0x81 && p[2] == 0x9F) return 3;
  if (p[0] == 0xE3 && p[1] == 0x80 && p[2] == 0x80) return 3;
  return 0;
}

}  // namespace

std::size_t white_space_length_at(std::string_view s, std::size_t i) noexcept {
  if (i >= s.size()) return 0;
  auto c = static_cast<unsigned char>(s[i]);
  if (c < 0x80) return (c == ' ' || (c >= 0x09 && c <= 0x0D)) ? 1 : 0;
  return non_ascii_space_length(reinterpret_cast<const unsigned char*>(s.data()) + i, s.size() - i);
}

std::size_t white_space_length_before(std::string_view s, std::size_t end) noexcept {
  if (end == 0 || end > s.size()) return 0;
  auto c = static_cast<unsigned char>(s[end - 1]);
  if (c < 0x80) return (c == ' ' || (c >= 0x09 && c <= 0x0D)) ? 1 : 0;
  for (std::size_t len : {2u, 3u}) {
    if (end >= len && white_space_length_at(s, end - len) == len) return len;
  }
  return 0;
}

std::string_view trim_white_space(std::string_view s) noexcept {
  std::size_t b = 0;
  while (std::size_t n = white_space_length_at(s, b)) b += n;
  std::size_t e = s.size();
  while (e > b) {
    std::size_t n = white_space_length_before(s, e);
    if (n == 0) break;
    e -= n;
  }
  return s.substr(b, e - b);
}

}  // namespace velmo::text

namespace velmo::text {

std::optional<Utf8Error> find_utf8_error(std::string_view s) noexcept {
  if (is_valid_utf8(s)) return std::nullopt;
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  const std::size_t n = s.size();
  auto cont = [&](std::size_t k) { return (p[k] & 0xC0) == 0x80; };
  std::size_t i = 0;
  while (i < n) {
    unsigned c = p[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    std::size_t width = (c >= 0xC2 && c <= 0xDF) ? 2 : (c >= 0xE0 && c <= 0xEF) ? 3 : (c >= 0xF0 && c <= 0xF4) ? 4 : 0;
    if (width == 0) return Utf8Error{i, 1};
    if (i + 1 >= n) return Utf8Error{i, 0};
    unsigned c1 = p[i + 1];
    bool second_ok;
    if (width == 2) {
      second_ok = cont(i + 1);
    } else if (width == 3) {
      second_ok = (c == 0xE0 && c1 >= 0xA0 && c1 <= 0xBF) || (c >= 0xE1 && c <= 0xEC && cont(i + 1)) ||
                  (c == 0xED && c1 >= 0x80 && c1 <= 0x9F) || (c >= 0xEE && cont(i + 1));
    } else {
      second_ok = (c == 0xF0 && c1 >= 0x90 && c1 <= 0xBF) || (c >= 0xF1 && c <= 0xF3 && cont(i + 1)) ||
                  (c == 0xF4 && c1 >= 0x80 && c1 <= 0x8F);
    }
    if (!second_ok) return Utf8Error{i, 1};
    for (std::size_t k = 2; k < width; ++k) {
      if (i + k >= n) return Utf8Error{i, 0};
      if (!cont(i + k)) return Utf8Error{i, k};
    }
    i += width;
  }
  return std::nullopt;
}

}  // namespace velmo::text
