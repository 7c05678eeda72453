// The message language: the supported codes, the process language used to render messages, the per-thread
// language reported to callers, and the choice of a language from locale lists and the environment.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace velmo::i18n {

inline constexpr std::size_t kLanguageCount = 4;
inline constexpr std::array<std::string_view, kLanguageCount> kSupportedLanguages = {"en", "zh-CN", "ja-JP",
                                                                                     "ko-KR"};

// Position of `lang` in kSupportedLanguages when it is byte for byte one of them.
std::optional<std::size_t> language_index(std::string_view lang) noexcept;

// The language messages are rendered in, read with one atomic load. Starts as "en".
std::string_view process_language() noexcept;

// The calling thread's language: the code it last set, "en" if it never set one.
std::string_view thread_language() noexcept;

// Sets the calling thread's and the process language when `lang` is supported; returns false and changes
// nothing otherwise.
bool set_language(std::string_view lang) noexcept;

// `["en", "zh-CN", "ja-JP", "ko-KR"]`: the supported codes as they appear in the unsupported-language message.
std::string supported_languages_text();

// The first supported language that one of `candidates` asks for, else `fallback` when it is supported,
// else "en". Comparisons are case-sensitive.
std::string_view negotiate(std::span<const std::string_view> candidates, std::string_view fallback) noexcept;
std::string_view negotiate(std::span<const std::string> candidates, std::string_view fallback) noexcept;

// The language chosen from PYI18N, LANGUAGE, LC_ALL, LC_MESSAGES and LANG, in that order; changes nothing.
std::string_view detect_language();

// The choice detect_language makes for one variable value (split at ':' and ',', trimmed, lower-cased).
std::string_view language_from_locale_value(std::string_view value);

}  // namespace velmo::i18n
