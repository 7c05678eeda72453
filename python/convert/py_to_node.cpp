#include "convert/py_to_node.hpp"

#include <nanobind/nanobind.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <string>

#include "convert/numpy_array.hpp"
#include "emit/format_float.hpp"
#include "emit/needs_quotes.hpp"
#include "errors.hpp"

namespace nb = nanobind;

namespace velmo::py {

bool as_bool_scalar(PyObject* obj, bool& out) {
  if (obj == Py_True || obj == Py_False) {
    out = obj == Py_True;
    return true;
  }
  const char* name = Py_TYPE(obj)->tp_name;
  if (std::strcmp(name, "numpy.bool") != 0 && std::strcmp(name, "numpy.bool_") != 0) return false;
  const int truth = PyObject_IsTrue(obj);
  if (truth < 0) {
    PyErr_Clear();
    return false;
  }
  out = truth != 0;
  return true;
}

bool as_int64(PyObject* obj, long long& out) {
  int overflow = 0;
  if (PyLong_Check(obj)) {
    out = PyLong_AsLongLongAndOverflow(obj, &overflow);
    return overflow == 0;
  }
  if (!PyIndex_Check(obj)) return false;
  PyObject* index = PyNumber_Index(obj);
  if (index == nullptr) {
    PyErr_Clear();
    return false;
  }
  out = PyLong_AsLongLongAndOverflow(index, &overflow);
  Py_DECREF(index);
  if (out == -1 && PyErr_Occurred()) {
    PyErr_Clear();
    return false;
  }
  return overflow == 0;
}

bool as_double(PyObject* obj, double& out) {
  out = PyFloat_AsDouble(obj);
  if (out == -1.0 && PyErr_Occurred()) {
    PyErr_Clear();
    return false;
  }
  return true;
}

std::string_view utf8_of(PyObject* str) {
  Py_ssize_t size = 0;
  const char* data = PyUnicode_AsUTF8AndSize(str, &size);
  if (data == nullptr) throw nb::python_error();
  return {data, static_cast<std::size_t>(size)};
}

bool custom_types_registered() noexcept { return false; }

std::optional<CustomTypeClaim> claim_by_custom_type(PyObject*) { return std::nullopt; }

std::string_view custom_tag_suffix(std::string_view name) noexcept {
  const std::size_t start = name.find_first_not_of('!');
  return start == std::string_view::npos ? std::string_view() : name.substr(start);
}

void raise_unsupported_type() { raise(Error::keyed(ErrorClass::YamlTypeError, "unsupported-type")); }

void raise_value_too_deep(std::size_t max_depth) {
  raise(Error::keyed(ErrorClass::YamlMaxDepthError, "max-depth-exceeded", {{"max_depth", std::to_string(max_depth)}}));
}

namespace {

Node plain(std::string_view text) { return Node::scalar(SharedText::copy_of(text)); }

Node string_node(PyObject* str) {
  const std::string_view text = utf8_of(str);
  return Node::scalar(SharedText::copy_of(text), needs_quotes(text) ? ScalarStyle::DoubleQuoted : ScalarStyle::Plain);
}

Node integer_node(long long value) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  return plain(std::string_view(digits, static_cast<std::size_t>(end - digits)));
}

Node tagged_node(const CustomTypeClaim& claim) {
  Node node = Node::scalar(SharedText::copy_of(claim.text));
  node.meta()->set_tag(Tag{"!", std::string(custom_tag_suffix(claim.name))});
  return node;
}

[[noreturn]] void raise_runtime(const char* message) {
  PyErr_SetString(PyExc_RuntimeError, message);
  throw nb::python_error();
}

class Converter {
 public:
  explicit Converter(std::size_t max_depth) : max_depth_(max_depth) {}

  Node convert(PyObject* value, std::size_t depth) {
    if (depth >= max_depth_) raise_value_too_deep(max_depth_);
    if (value == Py_None) return Node::null();
    if (PyDict_Check(value)) return mapping(value, depth);
    if (PyList_Check(value)) return sequence(value, depth);
    bool truth = false;
    if (as_bool_scalar(value, truth)) return plain(truth ? "true" : "false");
    long long integer = 0;
    if (as_int64(value, integer)) return integer_node(integer);
    if (custom_types_registered()) {
      if (auto claim = claim_by_custom_type(value)) return tagged_node(*claim);
    }
    double real = 0;
    if (!PyUnicode_Check(value) && as_double(value, real)) {
      std::string text;
      append_float(text, real);
      return plain(text);
    }
    if (PyUnicode_Check(value)) return string_node(value);
    if (auto array = array_to_node(value)) return std::move(*array);
    if (auto claim = claim_by_custom_type(value)) return tagged_node(*claim);
    raise_unsupported_type();
  }

 private:
  Node key_node(PyObject* key, std::size_t depth) {
    if (PyUnicode_Check(key)) return string_node(key);
    return convert(key, depth);
  }

  // Entries in iteration order. The dict may be changed by code that runs while it is read (an __index__ or
  // __float__ method), so key and value are held, and a change of size or keys stops the conversion.
  Node mapping(PyObject* dict, std::size_t depth) {
    Node node = Node::mapping();
    const Py_ssize_t size = PyDict_GET_SIZE(dict);
    if (size == 0) return node;
    Pairs& pairs = node.pairs();
    pairs.reserve(static_cast<std::size_t>(size));
    Py_ssize_t pos = 0;
    Py_ssize_t seen = 0;
    PyObject* key = nullptr;
    PyObject* value = nullptr;
    while (PyDict_Next(dict, &pos, &key, &value)) {
      if (seen++ == size) raise_runtime("dictionary keys changed during iteration");
      nb::object key_ref = nb::borrow(key);
      nb::object value_ref = nb::borrow(value);
      Node k = key_node(key, depth + 1);
      Node v = convert(value, depth + 1);
      if (PyDict_GET_SIZE(dict) != size) raise_runtime("dictionary changed size during iteration");
      pairs.insert(std::move(k), std::move(v));
    }
    return node;
  }

  // Items in order, up to the length at the start; the length is read again before each item.
  Node sequence(PyObject* list, std::size_t depth) {
    Node node = Node::sequence();
    const Py_ssize_t start_size = PyList_GET_SIZE(list);
    if (start_size == 0) return node;
    NodeList& items = node.items();
    items.reserve(static_cast<std::size_t>(start_size));
    for (Py_ssize_t i = 0; i < start_size && i < PyList_GET_SIZE(list); ++i) {
      nb::object item = nb::borrow(PyList_GET_ITEM(list, i));
      items.push_back(convert(item.ptr(), depth + 1));
    }
    return node;
  }

  std::size_t max_depth_;
};

}  // namespace

Node py_to_node(PyObject* value, std::size_t max_depth) {
  return Converter(std::min(max_depth, kMaxValueDepth)).convert(value, 0);
}

}  // namespace velmo::py
