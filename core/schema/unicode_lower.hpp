#pragma once

#include <string>
#include <string_view>

namespace velmo {

// Full Unicode lower-casing of UTF-8 text: every code point takes its
// lower-case mapping, U+0130 becomes "i" followed by U+0307, and a capital
// sigma that ends a word becomes the final sigma U+03C2. Bytes that do not
// form a valid UTF-8 sequence are copied unchanged.
std::string to_lower_unicode(std::string_view text);

// The lower-case mapping of one code point when it is a single code point
// (U+0130 maps to itself here; to_lower_unicode expands it).
char32_t lower_code_point(char32_t cp) noexcept;

}  // namespace velmo
