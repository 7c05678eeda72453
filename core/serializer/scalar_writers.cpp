#include "serializer/scalar_writers.hpp"

#include <cstring>

#include "schema/resolve_scalar.hpp"
#include "text/unicode.hpp"

namespace velmo {

namespace {

constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
constexpr std::uint64_t kHighs = 0x8080808080808080ULL;

constexpr bool has_zero_byte(std::uint64_t w) noexcept { return ((w - kOnes) & ~w & kHighs) != 0; }
constexpr bool has_byte(std::uint64_t w, unsigned char c) noexcept { return has_zero_byte(w ^ (kOnes * c)); }
// Any byte below 0x20, 0x7f or above (the controls, DEL and everything non-ASCII).
constexpr bool has_control_or_high(std::uint64_t w) noexcept {
  return ((w - kOnes * 0x20) & ~w & kHighs) != 0 || (w & kHighs) != 0 || has_byte(w, 0x7f);
}

using text::CodePoint;
using text::decode_utf8_at;

// Characters that no plain or single-quoted scalar can carry: C0 controls (tab included), DEL, C1 controls
// and the non-characters ending in FFFE or FFFF.
constexpr bool is_non_printable(std::uint32_t cp) noexcept {
  return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) || (cp & 0xFFFE) == 0xFFFE;
}

constexpr bool is_indicator_start(unsigned char c) noexcept {
  switch (c) {
    case '!': case '%': case '&': case '\'': case '*': case ',': case '-': case '>': case '?':
    case '@': case '[': case ']': case '{': case '|': case '}': case '"': case '`':
      return true;
    default:
      return false;
  }
}

constexpr bool is_flow_indicator(unsigned char c) noexcept {
  return c == ',' || c == '[' || c == ']' || c == '{' || c == '}';
}

// Position of the first byte that the quoting test must look at closely, or npos. Texts of 16 bytes and more
// are scanned a machine word at a time.
std::size_t first_suspect_byte(std::string_view text, bool flow) noexcept {
  std::size_t i = 0;
  if (text.size() > 15) {
    for (; i + 8 <= text.size(); i += 8) {
      std::uint64_t w;
      std::memcpy(&w, text.data() + i, 8);
      bool suspect = has_byte(w, ':') || has_byte(w, '#') || has_byte(w, '\\') || has_control_or_high(w);
      if (flow && !suspect) {
        suspect = has_byte(w, ',') || has_byte(w, '[') || has_byte(w, ']') || has_byte(w, '{') || has_byte(w, '}');
      }
      if (suspect) break;
    }
  }
  for (; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == ':' || c == '#' || c == '\\' || c < 0x20 || c >= 0x7f || (flow && is_flow_indicator(c))) return i;
  }
  return std::string_view::npos;
}

struct QuoteScan {
  bool needs_quotes = false;
  bool has_backslash = false;
  bool has_line_feed = false;
  bool has_non_printable = false;
};

// The close look, from `from` on (the bytes before it hold nothing of interest).
void scan_from(std::string_view text, std::size_t from, bool flow, QuoteScan& scan) noexcept {
  for (std::size_t i = from; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      if (c == ':' || c == '#' || (flow && is_flow_indicator(c))) scan.needs_quotes = true;
      if (c == '\\') scan.has_backslash = true;
      if (c == '\n') scan.has_line_feed = true;
      if (c < 0x20 || c == 0x7f) scan.has_non_printable = true;
      ++i;
      continue;
    }
    const CodePoint cp = decode_utf8_at(text, i);
    if (cp.valid) {
      if (cp.value == 0xA0 || cp.value == 0xFEFF) scan.needs_quotes = true;
      if (is_non_printable(cp.value)) scan.has_non_printable = true;
    }
    i += cp.length;
  }
  if (scan.has_line_feed || scan.has_non_printable) scan.needs_quotes = true;
}

bool is_typed_under_core(std::string_view text) noexcept {
  return !resolve_core_scalar(text).is_str();
}

// A typed text (a number, boolean or null, possibly with white space around it) holding a line break cannot be
// written raw: the break would end the line. Its breaks are in the white space around the value.
bool holds_line_break(std::string_view text) noexcept {
  return text.find_first_of("\n\r") != std::string_view::npos;
}

bool is_white_at(std::string_view s, std::size_t i) noexcept {
  return s[i] == ' ' || s[i] == '\t' || text::white_space_length_at(s, i) != 0;
}

// Where a long plain line may break: a single space between two words, where the next word does not start
// with an indicator. Breaking inside a run of spaces, or before white space, would lose characters when the
// reader folds the lines back together.
std::size_t last_fold_space(std::string_view text, std::size_t limit) noexcept {
  for (std::size_t i = limit; i-- > 1;) {
    if (text[i] != ' ') continue;
    if (i + 1 >= text.size() || is_white_at(text, i + 1) || text[i - 1] == ' ' || text[i - 1] == '\t') continue;
    if (is_indicator_start(static_cast<unsigned char>(text[i + 1])) || text[i + 1] == ':' || text[i + 1] == '#') {
      continue;
    }
    return i;
  }
  return std::string_view::npos;
}

// `limit` moved down to the start of a UTF-8 character.
std::size_t char_start_at_or_before(std::string_view text, std::size_t limit) noexcept {
  while (limit > 0 && limit < text.size() && (static_cast<unsigned char>(text[limit]) & 0xC0) == 0x80) --limit;
  return limit;
}

void write_folded_plain(std::string& out, std::string_view text, std::size_t width) {
  if (width == 0 || text.size() <= width) {
    out += text;
    return;
  }
  const std::size_t split = last_fold_space(text, char_start_at_or_before(text, width));
  if (split == std::string_view::npos) {
    out += text;
    return;
  }
  out.append(text.substr(0, split));
  std::string_view rest = text::trim_white_space(text.substr(split + 1));
  if (rest.empty()) return;

  const std::size_t last_break = out.rfind('\n');
  const std::size_t line_length = last_break == std::string::npos ? out.size() : out.size() - last_break - 1;
  const std::size_t indent = line_length < 3 ? 2 : line_length;
  out += '\n';
  const std::size_t room = width > indent ? width - indent : 0;
  if (room == 0) {
    out.append(indent, ' ');
    out += rest;
    return;
  }
  for (;;) {
    out.append(indent, ' ');
    if (rest.size() <= room) {
      out += rest;
      return;
    }
    const std::size_t at = last_fold_space(rest, char_start_at_or_before(rest, room));
    if (at == std::string_view::npos) {
      out += rest;
      return;
    }
    out.append(rest.substr(0, at));
    rest = text::trim_white_space(rest.substr(at + 1));
    if (rest.empty()) return;
    out += '\n';
  }
}

void append_hex(std::string& out, std::uint32_t value, int digits) {
  static constexpr char kHex[] = "0123456789abcdef";
  for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) out += kHex[(value >> shift) & 0xF];
}

}  // namespace

bool is_short_word(std::string_view text) noexcept {
  if (text.size() > 8) return false;
  for (const char ch : text) {
    const bool alnum = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9');
    if (!alnum) return false;
  }
  return true;
}

bool holds_only_printable(std::string_view text, bool allow_line_feed) noexcept {
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      if ((c < 0x20 && c != '\t' && !(allow_line_feed && c == '\n')) || c == 0x7f) return false;
      ++i;
      continue;
    }
    const CodePoint cp = decode_utf8_at(text, i);
    if (cp.valid && is_non_printable(cp.value)) return false;
    i += cp.length;
  }
  return true;
}

PlainStyle plain_style_for(std::string_view text, PlainContext context, bool at_line_start) noexcept {
  if (is_short_word(text)) return PlainStyle::Plain;
  if (is_typed_under_core(text)) return PlainStyle::Plain;

  const bool flow = context == PlainContext::Flow;
  QuoteScan scan;
  const auto first = static_cast<unsigned char>(text[0]);  // not empty: the empty text resolves to null
  // White space at either end would be dropped by a reader or by folding; '...' at the start of a line ends
  // the document.
  scan.needs_quotes = is_indicator_start(first) || first == ' ' || text.back() == ' ' ||
                      text::white_space_length_at(text, 0) != 0 ||
                      text::white_space_length_before(text, text.size()) != 0 ||
                      (at_line_start && text.substr(0, 3) == "...");
  const std::size_t suspect = first_suspect_byte(text, flow);
  if (suspect != std::string_view::npos) scan_from(text, suspect, flow, scan);
  if (!scan.needs_quotes) return PlainStyle::Plain;

  if (!scan.has_backslash || scan.has_line_feed || scan.has_non_printable) return PlainStyle::DoubleQuoted;
  return PlainStyle::SingleQuoted;
}

void write_plain(std::string& out, std::string_view text, std::size_t fold, PlainContext context) {
  if (is_short_word(text)) {
    out += text;
    return;
  }
  const bool at_line_start = out.empty() || out.back() == '\n';
  switch (plain_style_for(text, context, at_line_start)) {
    case PlainStyle::Plain:
      // A typed text with a line break in the white space around it is written trimmed, which reads as the
      // same value (quoting it would make it a string).
      write_folded_plain(out, holds_line_break(text) ? text::trim_white_space(text) : text, fold);
      return;
    case PlainStyle::SingleQuoted:
      write_single_quoted(out, text);
      return;
    case PlainStyle::DoubleQuoted:
      write_double_quoted(out, text);
      return;
  }
}

void write_double_quoted(std::string& out, std::string_view text) {
  out.reserve(out.size() + text.size() + 2);
  out += '"';
  std::size_t run = 0;  // start of the pending run of bytes written as they are
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c < 0x7f && c != '"' && c != '\\' && c != '/') {
      ++i;
      continue;
    }
    const CodePoint cp = c < 0x80 ? CodePoint{c, 1, true} : decode_utf8_at(text, i);
    const char* escape = nullptr;
    bool numeric = false;
    if (cp.valid) {
      switch (cp.value) {
        case 0x00: escape = "\\0"; break;
        case 0x08: escape = "\\b"; break;
        case 0x09: escape = "\\t"; break;
        case 0x0A: escape = "\\n"; break;
        case 0x0C: escape = "\\f"; break;
        case 0x0D: escape = "\\r"; break;
        case 0x1B: escape = "\\e"; break;
        case '"': escape = "\\\""; break;
        case '/': escape = "\\/"; break;
        case '\\': escape = "\\\\"; break;
        default: numeric = is_non_printable(cp.value); break;
      }
    }
    if (escape == nullptr && !numeric) {  // printable non-ASCII (or a malformed byte): copied as it is
      i += cp.length;
      continue;
    }
    out.append(text.data() + run, i - run);
    if (escape != nullptr) {
      out += escape;
    } else if (cp.value > 0xFFFF) {
      out += "\\U";
      append_hex(out, cp.value, 8);
    } else {
      out += "\\u";
      append_hex(out, cp.value, 4);
    }
    i += cp.length;
    run = i;
  }
  out.append(text.data() + run, text.size() - run);
  out += '"';
}

void write_single_quoted(std::string& out, std::string_view text) {
  out.reserve(out.size() + text.size() + 2);
  out += '\'';
  std::size_t run = 0;
  for (std::size_t quote = text.find('\''); quote != std::string_view::npos; quote = text.find('\'', quote + 1)) {
    out.append(text.data() + run, quote + 1 - run);
    out += '\'';
    run = quote + 1;
  }
  out.append(text.data() + run, text.size() - run);
  out += '\'';
}

}  // namespace velmo
