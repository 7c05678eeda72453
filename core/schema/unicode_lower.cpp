#include "schema/unicode_lower.hpp"

#include <algorithm>
#include <iterator>

#include "schema/unicode_lower_table.hpp"

namespace velmo {
namespace {

// One decoded UTF-8 sequence; length 0 marks a malformed one.
struct Decoded {
  char32_t cp = 0;
  std::size_t length = 0;
};

Decoded decode_utf8(std::string_view text, std::size_t i) noexcept {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  std::size_t length = 0;
  char32_t cp = 0;
  char32_t minimum = 0;
  if (lead < 0x80) return {lead, 1};
  if (lead >= 0xC2 && lead <= 0xDF) length = 2, cp = lead & 0x1F, minimum = 0x80;
  else if (lead >= 0xE0 && lead <= 0xEF) length = 3, cp = lead & 0x0F, minimum = 0x800;
  else if (lead >= 0xF0 && lead <= 0xF4) length = 4, cp = lead & 0x07, minimum = 0x10000;
  else return {};
  if (text.size() - i < length) return {};
  for (std::size_t k = 1; k < length; ++k) {
    const unsigned char next = byte(i + k);
    if ((next & 0xC0) != 0x80) return {};
    cp = (cp << 6) | (next & 0x3F);
  }
  if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return {};
  return {cp, length};
}

void append_utf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

template <std::size_t N>
bool in_ranges(char32_t cp, const unicode_lower_detail::CodePointRange (&table)[N]) noexcept {
  const auto* after = std::upper_bound(std::begin(table), std::end(table), cp,
                                       [](char32_t c, const auto& range) { return c < range.first; });
  return after != std::begin(table) && cp <= (after - 1)->last;
}

bool is_case_ignorable(char32_t cp) noexcept { return in_ranges(cp, unicode_lower_detail::case_ignorable_ranges); }
bool is_cased(char32_t cp) noexcept { return in_ranges(cp, unicode_lower_detail::cased_ranges); }

// Start of the UTF-8 sequence that ends just before `end` (a malformed byte stands alone).
std::size_t previous_start(std::string_view text, std::size_t end) noexcept {
  std::size_t start = end - 1;
  const std::size_t floor = end >= 4 ? end - 4 : 0;
  while (start > floor && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) --start;
  const Decoded d = decode_utf8(text, start);
  return d.length == end - start ? start : end - 1;
}

// Whether the capital sigma at [begin, end) ends a word: a cased letter comes before it and none after it,
// case-ignorable characters (apostrophes, combining marks, ...) being skipped on both sides.
bool is_final_sigma(std::string_view text, std::size_t begin, std::size_t end) noexcept {
  bool cased_before = false;
  for (std::size_t i = begin; i > 0;) {
    i = previous_start(text, i);
    const Decoded d = decode_utf8(text, i);
    if (d.length != 0 && is_case_ignorable(d.cp)) continue;
    cased_before = d.length != 0 && is_cased(d.cp);
    break;
  }
  if (!cased_before) return false;
  for (std::size_t i = end; i < text.size();) {
    const Decoded d = decode_utf8(text, i);
    if (d.length == 0) return true;
    if (!is_case_ignorable(d.cp)) return !is_cased(d.cp);
    i += d.length;
  }
  return true;
}

}  // namespace

char32_t lower_code_point(char32_t cp) noexcept {
  using unicode_lower_detail::lower_runs;
  if (cp < 0x80) return cp >= 'A' && cp <= 'Z' ? cp + 32 : cp;
  // The last run that starts at or before cp.
  const auto* after = std::upper_bound(std::begin(lower_runs), std::end(lower_runs), cp,
                     [](char32_t c, const auto& run) { return c < run.first; });
  if (after == std::begin(lower_runs)) return cp;
  const auto& run = *(after - 1);
  const char32_t offset = cp - run.first;
  if (offset % run.stride != 0 || offset / run.stride >= run.count) return cp;
  return static_cast<char32_t>(static_cast<std::int32_t>(cp) + run.delta);
}

std::string to_lower_unicode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const Decoded d = decode_utf8(text, i);
    if (d.length == 0) {
      out.push_back(text[i++]);
      continue;
    }
    const std::size_t start = i;
    i += d.length;
    if (d.cp == 0x130) {  // capital I with dot above: i + combining dot above
      out.push_back('i');
      append_utf8(out, 0x307);
    } else if (d.cp == 0x3A3 && is_final_sigma(text, start, i)) {
      append_utf8(out, 0x3C2);
    } else {
      append_utf8(out, lower_code_point(d.cp));
    }
  }
  return out;
}

}  // namespace velmo
