#include "convert/numpy_array.hpp"

#include <nanobind/nanobind.h>

#include <bit>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "emit/format_float.hpp"

namespace nb = nanobind;

namespace velmo::py {

namespace {

// numpy.ndarray, once NumPy has been imported by the program; an array cannot exist before that, so the
// module is never imported here. Kept for the life of the process.
PyTypeObject* ndarray_type() {
  static PyObject* type = nullptr;
  if (type != nullptr) return reinterpret_cast<PyTypeObject*>(type);
  PyObject* numpy = PyImport_GetModule(nb::str("numpy").ptr());
  if (numpy == nullptr) {
    PyErr_Clear();
    return nullptr;
  }
  PyObject* found = PyObject_GetAttrString(numpy, "ndarray");
  Py_DECREF(numpy);
  if (found == nullptr || !PyType_Check(found)) {
    PyErr_Clear();
    Py_XDECREF(found);
    return nullptr;
  }
  type = found;
  return reinterpret_cast<PyTypeObject*>(type);
}

enum class ElementKind : std::uint8_t { Bool, Signed, Unsigned, Float, Complex };

struct ElementType {
  ElementKind kind;
  std::size_t size;  // bytes of one element (of one part, for complex)
  bool swapped;      // stored in the other byte order than this machine's
};

// The element type named by a buffer's struct-module format ("<q", "d", "Zf", "?"), checked against its item
// size; nothing for every other format (structured, strings, objects, half and extended floats).
std::optional<ElementType> element_type(const char* format, Py_ssize_t itemsize) {
  if (format == nullptr) format = "B";
  std::string_view f(format);
  bool big = std::endian::native == std::endian::big;
  if (!f.empty() && (f[0] == '<' || f[0] == '>' || f[0] == '!' || f[0] == '=' || f[0] == '@')) {
    if (f[0] == '<') big = false;
    if (f[0] == '>' || f[0] == '!') big = true;
    f.remove_prefix(1);
  }
  const bool swapped = big != (std::endian::native == std::endian::big);
  const auto size = static_cast<std::size_t>(itemsize);
  auto integer_size_ok = [&] { return size == 1 || size == 2 || size == 4 || size == 8; };
  if (f.size() == 1) {
    switch (f[0]) {
      case '?':
        if (size == 1) return ElementType{ElementKind::Bool, 1, false};
        return std::nullopt;
      case 'b': case 'h': case 'i': case 'l': case 'q': case 'n':
        if (integer_size_ok()) return ElementType{ElementKind::Signed, size, swapped};
        return std::nullopt;
      case 'B': case 'H': case 'I': case 'L': case 'Q': case 'N':
        if (integer_size_ok()) return ElementType{ElementKind::Unsigned, size, swapped};
        return std::nullopt;
      case 'f':
        if (size == 4) return ElementType{ElementKind::Float, 4, swapped};
        return std::nullopt;
      case 'd':
        if (size == 8) return ElementType{ElementKind::Float, 8, swapped};
        return std::nullopt;
      default: return std::nullopt;
    }
  }
  if (f == "Zf" && size == 8) return ElementType{ElementKind::Complex, 4, swapped};
  if (f == "Zd" && size == 16) return ElementType{ElementKind::Complex, 8, swapped};
  return std::nullopt;
}

template <class T>
T load(const char* p, bool swapped) {
  unsigned char bytes[sizeof(T)];
  std::memcpy(bytes, p, sizeof(T));
  if (swapped) {
    for (std::size_t i = 0; i < sizeof(T) / 2; ++i) std::swap(bytes[i], bytes[sizeof(T) - 1 - i]);
  }
  T value;
  std::memcpy(&value, bytes, sizeof(T));
  return value;
}

template <class Int>
void append_integer(std::string& out, Int value) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  out.append(digits, end);
}

void append_element(std::string& out, const char* p, const ElementType& t) {
  switch (t.kind) {
    case ElementKind::Bool:
      out += *p != 0 ? "true" : "false";
      return;
    case ElementKind::Signed:
      switch (t.size) {
        case 1: return append_integer(out, load<std::int8_t>(p, false));
        case 2: return append_integer(out, load<std::int16_t>(p, t.swapped));
        case 4: return append_integer(out, load<std::int32_t>(p, t.swapped));
        default: return append_integer(out, load<std::int64_t>(p, t.swapped));
      }
    case ElementKind::Unsigned:
      switch (t.size) {
        case 1: return append_integer(out, load<std::uint8_t>(p, false));
        case 2: return append_integer(out, load<std::uint16_t>(p, t.swapped));
        case 4: return append_integer(out, load<std::uint32_t>(p, t.swapped));
        default: return append_integer(out, load<std::uint64_t>(p, t.swapped));
      }
    case ElementKind::Float:
      if (t.size == 4) return append_float_element(out, load<float>(p, t.swapped));
      return append_float_element(out, load<double>(p, t.swapped));
    case ElementKind::Complex:
      if (t.size == 4) {
        return append_complex_element(out, load<float>(p, t.swapped), load<float>(p + 4, t.swapped));
      }
      return append_complex_element(out, load<double>(p, t.swapped), load<double>(p + 8, t.swapped));
  }
}

// The array's elements in row-major order, each a plain scalar, cut into one nested sequence per dimension.
Node array_tree(const Py_buffer& view, const ElementType& type, std::size_t count) {
  const auto ndim = static_cast<std::size_t>(view.ndim);
  NodeList level;
  level.reserve(count);
  std::vector<Py_ssize_t> index(ndim, 0);
  std::string text;
  const char* base = static_cast<const char*>(view.buf);
  for (std::size_t n = 0; n < count; ++n) {
    Py_ssize_t offset = 0;
    for (std::size_t d = 0; d < ndim; ++d) {
      offset += index[d] * (view.strides != nullptr ? view.strides[d] : 0);
    }
    if (view.strides == nullptr) offset = static_cast<Py_ssize_t>(n) * view.itemsize;  // contiguous
    text.clear();
    append_element(text, base + offset, type);
    level.push_back(Node::scalar(SharedText::copy_of(text)));
    for (std::size_t d = ndim; d-- > 0;) {  // next index, last dimension fastest
      if (++index[d] < view.shape[d]) break;
      index[d] = 0;
    }
  }
  for (std::size_t d = ndim; d-- > 1;) {
    const auto group = static_cast<std::size_t>(view.shape[d]);
    NodeList outer;
    outer.reserve(level.size() / group);
    for (std::size_t start = 0; start < level.size(); start += group) {
      Node seq = Node::sequence();
      NodeList& items = seq.items();
      items.reserve(group);
      for (std::size_t k = 0; k < group; ++k) items.push_back(std::move(level[start + k]));
      outer.push_back(std::move(seq));
    }
    level = std::move(outer);
  }
  Node root = Node::sequence();
  root.items() = std::move(level);
  return root;
}

}  // namespace

std::optional<Node> array_to_node(PyObject* obj) {
  PyTypeObject* ndarray = ndarray_type();
  if (ndarray == nullptr || !PyObject_TypeCheck(obj, ndarray)) return std::nullopt;
  Py_buffer view;
  if (PyObject_GetBuffer(obj, &view, PyBUF_RECORDS_RO) != 0) {  // e.g. datetime arrays export no buffer
    PyErr_Clear();
    return std::nullopt;
  }
  struct Release {
    Py_buffer* v;
    ~Release() { PyBuffer_Release(v); }
  } release{&view};
  if (view.ndim < 1 || view.shape == nullptr) return std::nullopt;
  std::size_t count = 1;
  for (int d = 0; d < view.ndim; ++d) count *= static_cast<std::size_t>(view.shape[d]);
  if (count == 0) return Node::sequence();
  const std::optional<ElementType> type = element_type(view.format, view.itemsize);
  if (!type) return std::nullopt;
  nb::gil_scoped_release unlocked;
  return array_tree(view, *type, count);
}

}  // namespace velmo::py
