#include "i18n/translate.hpp"

#include "i18n/catalog.hpp"
#include "i18n/language.hpp"

namespace velmo::i18n {
namespace {

// "zh-CN-x" -> "zh-CN" -> "zh": cut before the last '-', then drop a trailing "-x" left behind.
bool shorten_language(std::string& lang) {
  std::size_t dash = lang.rfind('-');
  if (dash == std::string::npos) return false;
  lang.resize(dash);
  if (lang.size() >= 2 && lang.compare(lang.size() - 2, 2, "-x") == 0) lang.resize(lang.size() - 2);
  return true;
}

}  // namespace

std::string fill_placeholders(std::string_view text, std::span<const MessageArg> args) {
  if (args.empty()) return std::string(text);
  std::string out;
  out.reserve(text.size() + 32);
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t open = text.find("%{", i);
    if (open == std::string_view::npos) break;
    std::size_t close = text.find('}', open + 2);
    if (close == std::string_view::npos) break;
    out.append(text, i, open - i);
    std::string_view name = text.substr(open + 2, close - open - 2);
    const MessageArg* hit = nullptr;
    for (const MessageArg& a : args) {
      if (a.name == name) {
        hit = &a;
        break;
      }
    }
    if (hit) {
      out.append(hit->value);
    } else {
      out.append(text, open, close + 1 - open);
    }
    i = close + 1;
  }
  out.append(text, i);
  return out;
}

std::string translate_in(std::string_view lang, std::string_view key, std::span<const MessageArg> args) {
  auto text = catalog_text(lang, key);
  if (!text) {
    std::string shorter(lang);
    while (!text && shorten_language(shorter)) text = catalog_text(shorter, key);
  }
  return fill_placeholders(text ? *text : key, args);
}

std::string translate(std::string_view key, std::span<const MessageArg> args) {
  return translate_in(process_language(), key, args);
}

std::string translate(std::string_view key, std::initializer_list<MessageArg> args) {
  return translate(key, std::span<const MessageArg>(args.begin(), args.size()));
}

}  // namespace velmo::i18n
