// Rendering of message keys into text in the current language.
#pragma once

#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace velmo::i18n {

// A named message argument, already formatted as text.
struct MessageArg {
  std::string_view name;
  std::string_view value;
};

// The text of `key` in the process language, with each `%{name}` filled from `args`. Never fails: a missing
// language falls back through its shorter forms ("ja-JP-x" -> "ja"), then to the key itself.
std::string translate(std::string_view key, std::span<const MessageArg> args = {});
std::string translate(std::string_view key, std::initializer_list<MessageArg> args);

// As translate, in the given language instead of the process language.
std::string translate_in(std::string_view lang, std::string_view key, std::span<const MessageArg> args = {});

// Replaces each `%{name}` whose name is among `args` by that argument's value; other placeholders stay as
// written. Inserted values are not scanned again.
std::string fill_placeholders(std::string_view text, std::span<const MessageArg> args);

}  // namespace velmo::i18n
