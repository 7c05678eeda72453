// The message catalog: fixed texts for every message key in the four supported languages.
#pragma once

#include <optional>
#include <string_view>

namespace velmo::i18n {

// The text of `key` in exactly the language `lang` (no fallback), or nothing.
std::optional<std::string_view> catalog_text(std::string_view lang, std::string_view key) noexcept;

}  // namespace velmo::i18n
