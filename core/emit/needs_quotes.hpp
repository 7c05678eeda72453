#pragma once

#include <string_view>

namespace velmo {

// Whether a string taken from the host must be written quoted so that it
// reads back as the same string: it would otherwise read as null, a boolean or
// a number under the core schema, it starts or ends with a space, or it holds
// a character that plain text cannot carry (C0 and C1 controls, DEL, U+00A0,
// U+FEFF, and code points whose low 16 bits are FFFE or FFFF). Indicators such
// as ':' or '#' are the plain writer's concern, not this test's.
// The text is UTF-8; malformed bytes do not by themselves call for quotes.
bool needs_quotes(std::string_view text) noexcept;

}  // namespace velmo
