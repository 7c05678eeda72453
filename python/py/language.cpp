// get_language, set_language, list_languages, detect_language, negotiate_language.
#include <nanobind/nanobind.h>
#include <nanobind/stl/string.h>

#include <string>
#include <vector>

#include "bindings.hpp"
#include "errors.hpp"
#include "i18n/language.hpp"

namespace nb = nanobind;

namespace velmo::py {
namespace {

nb::str to_str(std::string_view s) { return nb::str(s.data(), s.size()); }

void set_language(const std::string& lang) {
  if (!i18n::set_language(lang)) {
    // Rendered before anything changes, so in the language in force before the call.
    raise(Error::keyed(ErrorClass::ValueError, "unsupported-language",
                       {{"lang", lang}, {"supported", i18n::supported_languages_text()}}));
  }
}

nb::list list_languages() {
  nb::list out;
  for (std::string_view code : i18n::kSupportedLanguages) out.append(to_str(code));
  return out;
}

[[noreturn]] void refuse_locales(const char* why) {
  PyErr_Format(PyExc_TypeError, "negotiate_language(): argument 'user_locales' %s", why);
  throw nb::python_error();
}

nb::str negotiate_language(nb::handle user_locales, const std::string& fallback) {
  PyObject* seq = user_locales.ptr();
  if (PyUnicode_Check(seq) || !PySequence_Check(seq)) refuse_locales("must be a sequence of str, not a str or a non-sequence");
  nb::object items = nb::steal(PySequence_Fast(seq, "user_locales must be a sequence"));
  if (!items.is_valid()) throw nb::python_error();
  Py_ssize_t n = PySequence_Fast_GET_SIZE(items.ptr());
  PyObject** raw = PySequence_Fast_ITEMS(items.ptr());
  std::vector<std::string> candidates;
  candidates.reserve(static_cast<std::size_t>(n));
  for (Py_ssize_t i = 0; i < n; ++i) {
    if (!PyUnicode_Check(raw[i])) refuse_locales("must hold only str items");
    Py_ssize_t len = 0;
    const char* utf8 = PyUnicode_AsUTF8AndSize(raw[i], &len);
    if (utf8 == nullptr) throw nb::python_error();
    candidates.emplace_back(utf8, static_cast<std::size_t>(len));
  }
  return to_str(i18n::negotiate(std::span<const std::string>(candidates), fallback));
}

}  // namespace

void bind_language_functions(nb::module_& m) {
  m.def("get_language", [] { return to_str(i18n::thread_language()); });
  m.def("set_language", &set_language, nb::arg("lang"));
  m.def("list_languages", &list_languages);
  m.def("detect_language", [] { return to_str(i18n::detect_language()); });
  m.def("negotiate_language", &negotiate_language, nb::arg("user_locales"), nb::arg("default") = "en");
}

}  // namespace velmo::py
