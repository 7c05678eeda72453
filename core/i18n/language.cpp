#include "i18n/language.hpp"

#include <atomic>
#include <cstdlib>
#include <vector>

#include "text/unicode.hpp"

namespace velmo::i18n {
namespace {

// The process language only ever holds one of the four supported codes, so it is an atomic pointer to one of
// the constant entries: swapping it is one store, reading it one load, and no string is ever freed under a reader.
std::atomic<const std::string_view*> g_process_language{&kSupportedLanguages[0]};

thread_local const std::string_view* t_thread_language = &kSupportedLanguages[0];

// Lower-cases a locale piece. Only the result's ASCII letters can ever match a supported code, so the one
// non-ASCII character whose lower case is ASCII (U+212A KELVIN SIGN, lower case "k") is mapped and every other
// non-ASCII character is kept: its lower case is non-ASCII too and matches nothing either way.
std::string lower_locale_piece(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (c >= 'A' && c <= 'Z') {
      out.push_back(static_cast<char>(c - 'A' + 'a'));
    } else if (s.compare(i, 3, "\xE2\x84\xAA") == 0) {
      out.push_back('k');
      i += 2;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

std::optional<std::string_view> match_candidate(std::string_view c) noexcept {
  for (std::string_view code : kSupportedLanguages) {
    if (c == code) return code;
  }
  std::string_view primary = c.substr(0, c.find('-'));
  if (primary.size() <= 2 && std::string_view("en").starts_with(primary)) return kSupportedLanguages[0];
  if (primary.size() > 5) return std::nullopt;
  for (std::size_t i = 1; i < kLanguageCount; ++i) {
    if (kSupportedLanguages[i].starts_with(primary)) return kSupportedLanguages[i];
  }
  return std::nullopt;
}

template <class Candidates>
std::string_view negotiate_impl(const Candidates& candidates, std::string_view fallback) noexcept {
  for (const auto& c : candidates) {
    if (auto hit = match_candidate(c)) return *hit;
  }
  if (auto li = language_index(fallback)) return kSupportedLanguages[*li];
  return kSupportedLanguages[0];
}

}  // namespace

std::optional<std::size_t> language_index(std::string_view lang) noexcept {
  for (std::size_t i = 0; i < kLanguageCount; ++i) {
    if (kSupportedLanguages[i] == lang) return i;
  }
  return std::nullopt;
}

std::string_view process_language() noexcept { return *g_process_language.load(std::memory_order_acquire); }

std::string_view thread_language() noexcept { return *t_thread_language; }

bool set_language(std::string_view lang) noexcept {
  auto li = language_index(lang);
  if (!li) return false;
  t_thread_language = &kSupportedLanguages[*li];
  g_process_language.store(&kSupportedLanguages[*li], std::memory_order_release);
  return true;
}

std::string supported_languages_text() {
  std::string out = "[";
  for (std::size_t i = 0; i < kLanguageCount; ++i) {
    if (i) out += ", ";
    out += '"';
    out += kSupportedLanguages[i];
    out += '"';
  }
  out += ']';
  return out;
}

std::string_view negotiate(std::span<const std::string_view> candidates, std::string_view fallback) noexcept {
  return negotiate_impl(candidates, fallback);
}

std::string_view negotiate(std::span<const std::string> candidates, std::string_view fallback) noexcept {
  return negotiate_impl(candidates, fallback);
}

std::string_view language_from_locale_value(std::string_view value) {
  std::vector<std::string> pieces;
  std::size_t start = 0;
  while (start <= value.size()) {
    std::size_t end = value.find_first_of(":,", start);
    if (end == std::string_view::npos) end = value.size();
    std::string_view piece = text::trim_white_space(value.substr(start, end - start));
    if (!piece.empty()) pieces.push_back(lower_locale_piece(piece));
    start = end + 1;
  }
  return negotiate(std::span<const std::string>(pieces), "en");
}

std::string_view detect_language() {
  for (const char* name : {"PYI18N", "LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* raw = std::getenv(name);
    if (raw == nullptr) continue;
    std::string_view value(raw);
    if (value.empty() || value == "C" || value == "POSIX" || !text::is_valid_utf8(value)) continue;
    return language_from_locale_value(value);
  }
  return kSupportedLanguages[0];
}

}  // namespace velmo::i18n
