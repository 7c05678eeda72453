#include "errors/error.hpp"

#include "i18n/translate.hpp"

namespace velmo {

Error Error::keyed(ErrorClass cls, std::string_view key,
                   std::initializer_list<std::pair<std::string_view, std::string_view>> args) {
  Error e(cls, std::string(key), false);
  e.args_.reserve(args.size());
  for (const auto& [name, value] : args) e.args_.push_back({std::string(name), std::string(value)});
  return e;
}

Error Error::fixed(ErrorClass cls, std::string text) { return Error(cls, std::move(text), true); }

std::string Error::render() const {
  if (fixed_) return key_;
  std::vector<i18n::MessageArg> views;
  views.reserve(args_.size());
  for (const Arg& a : args_) views.push_back({a.name, a.value});
  return i18n::translate(key_, views);
}

}  // namespace velmo
