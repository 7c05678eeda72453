// get_language, set_language, list_languages, detect_language, negotiate_language.
#include <string>
#include <vector>

#include "args.hpp"
#include "binding/callable.hpp"
#include "bindings.hpp"
#include "convert/py_text.hpp"
#include "errors.hpp"
#include "i18n/language.hpp"

namespace nb = nanobind;

namespace velmo::py {
namespace {

constexpr char kGetLanguage[] = "get_language";
constexpr Params<0> kNoParams{{}, 0};
nb::object get_language(nb::handle, Args) { return str_object(i18n::thread_language()); }

constexpr char kSetLanguage[] = "set_language";
constexpr Params<1> kSetLanguageParams{{"lang"}, 1};
nb::object set_language(nb::handle, Args args) {
  std::string_view lang = to_str(args[0], "lang");
  if (!i18n::set_language(lang)) {
    // Rendered before anything changes, so in the language in force before the call.
    raise(Error::keyed(ErrorClass::ValueError, "unsupported-language",
                       {{"lang", lang}, {"supported", i18n::supported_languages_text()}}));
  }
  return nb::none();
}

constexpr char kListLanguages[] = "list_languages";
nb::object list_languages(nb::handle, Args) {
  nb::list out;
  for (std::string_view code : i18n::kSupportedLanguages) out.append(str_object(code));
  return out;
}

constexpr char kDetectLanguage[] = "detect_language";
nb::object detect_language(nb::handle, Args) { return str_object(i18n::detect_language()); }

constexpr char kNegotiateLanguage[] = "negotiate_language";
constexpr Params<2> kNegotiateParams{{"user_locales", "default"}, 1};
nb::object negotiate_language(nb::handle, Args args) {
  PyObject* seq = args[0].ptr();
  if (PyUnicode_Check(seq) || !PySequence_Check(seq)) raise_argument_type("user_locales", "a sequence of str", args[0]);
  nb::object items = nb::steal(PySequence_Fast(seq, "argument 'user_locales' must be a sequence of str"));
  if (!items.is_valid()) throw nb::python_error();
  Py_ssize_t n = PySequence_Fast_GET_SIZE(items.ptr());
  PyObject** raw = PySequence_Fast_ITEMS(items.ptr());
  std::vector<std::string_view> candidates;
  candidates.reserve(static_cast<std::size_t>(n));
  for (Py_ssize_t i = 0; i < n; ++i) {
    if (!PyUnicode_Check(raw[i])) raise_argument_type("user_locales", "a sequence of str", args[0]);
    candidates.push_back(to_str(raw[i], "user_locales"));
  }
  std::string_view fallback = str_or(args[1], "default", "en");
  return str_object(i18n::negotiate(std::span<const std::string_view>(candidates), fallback));
}

PyMethodDef g_defs[] = {
    method_def<kGetLanguage, kNoParams, get_language>("get_language()\n--\n\n"),
    method_def<kSetLanguage, kSetLanguageParams, set_language>("set_language(lang)\n--\n\n"),
    method_def<kListLanguages, kNoParams, list_languages>("list_languages()\n--\n\n"),
    method_def<kDetectLanguage, kNoParams, detect_language>("detect_language()\n--\n\n"),
    method_def<kNegotiateLanguage, kNegotiateParams, negotiate_language>(
        "negotiate_language(user_locales, default=\"en\")\n--\n\n"),
};

}  // namespace

void bind_language_functions(nb::module_& m) {
  for (PyMethodDef& def : g_defs) add_function(m, def);
}

}  // namespace velmo::py
