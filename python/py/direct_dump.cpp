#include "py/direct_dump.hpp"

#include <nanobind/nanobind.h>

#include <algorithm>
#include <charconv>
#include <string_view>
#include <vector>

#include "convert/numpy_array.hpp"
#include "convert/py_to_node.hpp"
#include "emit/format_float.hpp"
#include "emit/needs_quotes.hpp"
#include "errors.hpp"
#include "py/emit/serialize_error.hpp"
#include "serializer/scalar_writers.hpp"
#include "serializer/serializer.hpp"

namespace nb = nanobind;

namespace velmo::py {

namespace {

constexpr std::size_t kStep = 2;
constexpr std::size_t kFoldWidth = 80;
// Readers take implicit keys of at most 1024 characters; a longer key is written after "? ", with its ":" on
// the next line.
constexpr std::size_t kMaxImplicitKeyBytes = 1000;
// A thread's buffer keeps its memory between dumps up to this size; a rare larger dump gives it back.
constexpr std::size_t kKeptBufferBytes = 64u << 20;

enum class Kind : std::uint8_t { None, Str, Bool, Int, Float, Dict, List, Other };

struct Value {
  Kind kind = Kind::Other;
  bool truth = false;
  long long integer = 0;
  double real = 0;

  bool is_collection_or_other() const { return kind == Kind::Dict || kind == Kind::List || kind == Kind::Other; }
};

// Exact built-in types are recognised by one comparison each; subclasses and the number protocols after that.
Value classify(PyObject* v) {
  Value c;
  PyTypeObject* type = Py_TYPE(v);
  if (type == &PyUnicode_Type) {
    c.kind = Kind::Str;
  } else if (type == &PyLong_Type) {
    int overflow = 0;
    c.integer = PyLong_AsLongLongAndOverflow(v, &overflow);
    if (overflow == 0) {
      c.kind = Kind::Int;
    } else if (as_double(v, c.real)) {  // beyond 64 bits: written as a float while a float holds it
      c.kind = Kind::Float;
    }
  } else if (type == &PyFloat_Type) {
    c.kind = Kind::Float;
    c.real = PyFloat_AS_DOUBLE(v);
  } else if (v == Py_None) {
    c.kind = Kind::None;
  } else if (type == &PyDict_Type) {
    c.kind = Kind::Dict;
  } else if (type == &PyList_Type) {
    c.kind = Kind::List;
  } else if (as_bool_scalar(v, c.truth)) {
    c.kind = Kind::Bool;
  } else if (PyUnicode_Check(v)) {
    c.kind = Kind::Str;
  } else if (PyDict_Check(v)) {
    c.kind = Kind::Dict;
  } else if (PyList_Check(v)) {
    c.kind = Kind::List;
  } else if (as_int64(v, c.integer)) {
    c.kind = Kind::Int;
  } else if (as_double(v, c.real)) {
    c.kind = Kind::Float;
  }
  return c;
}

bool is_none_or_scalar(PyObject* v) {
  PyTypeObject* type = Py_TYPE(v);
  if (type == &PyUnicode_Type || type == &PyLong_Type || type == &PyFloat_Type || v == Py_None ||
      type == &PyBool_Type) {
    return type != &PyLong_Type || classify(v).kind != Kind::Other;
  }
  if (type == &PyDict_Type || type == &PyList_Type) return false;
  return !classify(v).is_collection_or_other();
}

void append_integer(std::string& out, long long value) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  out.append(digits, end);
}

bool holds_control_byte(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char ch) {
    const auto c = static_cast<unsigned char>(ch);
    return c < 0x20 || c == 0x7f;
  });
}

// A string that must be quoted: single quotes when it holds a backslash and nothing they cannot carry as it
// is (line feeds, controls, non-characters), so Windows paths stay readable; double quotes otherwise.
void quote_text(std::string& out, std::string_view text) {
  if (text.find('\\') != std::string_view::npos && !holds_control_byte(text) && single_quotes_can_hold(text)) {
    write_single_quoted(out, text);
  } else {
    write_double_quoted(out, text);
  }
}

void write_string(std::string& out, std::string_view text, std::size_t fold) {
  if (needs_quotes(text)) {
    quote_text(out, text);
  } else {
    write_plain(out, text, fold);
  }
}

[[noreturn]] void raise_runtime(const char* message) {
  PyErr_SetString(PyExc_RuntimeError, message);
  throw nb::python_error();
}

// Walks a dict with PyDict_Next, holding each key and value while `body` runs, and stops with the interpreter's
// messages when code run meanwhile changes the dict.
template <class Body>
void for_each_entry(PyObject* dict, Body&& body) {
  const Py_ssize_t size = PyDict_GET_SIZE(dict);
  Py_ssize_t pos = 0;
  Py_ssize_t seen = 0;
  PyObject* key = nullptr;
  PyObject* value = nullptr;
  while (PyDict_Next(dict, &pos, &key, &value)) {
    if (seen++ == size) raise_runtime("dictionary keys changed during iteration");
    Py_INCREF(key);
    Py_INCREF(value);
    nb::object key_ref = nb::steal(key);
    nb::object value_ref = nb::steal(value);
    body(key, value);
    if (PyDict_GET_SIZE(dict) != size) raise_runtime("dictionary changed size during iteration");
  }
}

class Dumper {
 public:
  Dumper(std::string& out, bool sort_keys) : out_(out), sort_keys_(sort_keys) {}

  void dump_value(PyObject* v, std::size_t indent, std::size_t depth) { dump_classified(v, classify(v), indent, depth); }

 private:
  void indent(std::size_t n) { out_.append(n, ' '); }

  void dump_classified(PyObject* v, const Value& c, std::size_t at, std::size_t depth) {
    if (depth >= kMaxValueDepth) raise_value_too_deep(kMaxValueDepth);
    switch (c.kind) {
      case Kind::Dict: return dump_dict(v, at, depth);
      case Kind::List: return dump_list(v, at, depth);
      case Kind::Other: return dump_other(v, at);
      case Kind::None:
        indent(at);
        out_ += "null\n";
        return;
      default:
        indent(at);
        write_scalar(v, c);
        out_ += '\n';
        return;
    }
  }

  void write_scalar(PyObject* v, const Value& c) {
    switch (c.kind) {
      case Kind::Str: return write_string(out_, utf8_of(v), kFoldWidth);
      case Kind::Bool: out_ += c.truth ? "true" : "false"; return;
      case Kind::Int: return append_integer(out_, c.integer);
      case Kind::Float:
        if (custom_types_registered() && !PyLong_Check(v)) {
          if (auto claim = claim_by_custom_type(v)) return write_claim(*claim);
        }
        return append_float(out_, c.real);
      default: return;
    }
  }

  void write_claim(const CustomTypeClaim& claim) {
    out_ += '!';
    out_ += custom_tag_suffix(claim.name);
    out_ += ' ';
    out_ += claim.text;
  }

  void dump_key(PyObject* key) {
    const Value c = classify(key);
    switch (c.kind) {
      case Kind::Str: return write_string(out_, utf8_of(key), 0);
      case Kind::None: out_ += "null"; return;
      case Kind::Bool: out_ += c.truth ? "true" : "false"; return;
      case Kind::Int: return append_integer(out_, c.integer);
      case Kind::Float: return append_float(out_, c.real);
      default: raise_unsupported_type();
    }
  }

  // The key and its ":"; `colon_at` is where the ":" of an explicit key goes.
  void write_entry_key(PyObject* key, std::size_t colon_at) {
    const std::size_t key_start = out_.size();
    dump_key(key);
    if (out_.size() - key_start > kMaxImplicitKeyBytes) {
      out_.insert(key_start, "? ");
      out_ += '\n';
      indent(colon_at);
    }
    out_ += ':';
  }

  void dump_entry(PyObject* key, PyObject* value, std::size_t at, std::size_t depth) {
    indent(at);
    write_entry_key(key, at);
    const Value c = classify(value);
    if (c.is_collection_or_other()) {
      out_ += '\n';
      dump_classified(value, c, at + kStep, depth + 1);
    } else {
      out_ += ' ';
      dump_classified(value, c, 0, depth + 1);
    }
  }

  void dump_dict(PyObject* dict, std::size_t at, std::size_t depth) {
    if (PyDict_GET_SIZE(dict) == 0) {
      indent(at);
      out_ += "{}\n";
      return;
    }
    if (sort_keys_) return dump_sorted_dict(dict, at, depth);
    for_each_entry(dict, [&](PyObject* key, PyObject* value) { dump_entry(key, value, at, depth); });
  }

  struct SortEntry {
    std::string_view text;  // into `key` (a str) or into `own`
    std::string own;
    nb::object key;
    nb::object value;
  };

  void sort_text(SortEntry& e) {
    const Value c = classify(e.key.ptr());
    switch (c.kind) {
      case Kind::Str: e.text = utf8_of(e.key.ptr()); return;
      case Kind::None: e.text = "null"; return;
      case Kind::Bool: e.text = c.truth ? "true" : "false"; return;
      case Kind::Int: append_integer(e.own, c.integer); break;
      case Kind::Float: append_float(e.own, c.real); break;
      default: break;
    }
    e.text = e.own;
  }

  void dump_sorted_dict(PyObject* dict, std::size_t at, std::size_t depth) {
    std::vector<SortEntry> entries;
    entries.reserve(static_cast<std::size_t>(PyDict_GET_SIZE(dict)));
    for_each_entry(dict, [&](PyObject* key, PyObject* value) {
      entries.push_back({{}, {}, nb::borrow(key), nb::borrow(value)});
    });
    for (SortEntry& e : entries) sort_text(e);  // after collecting: `own` must not move once viewed
    std::stable_sort(entries.begin(), entries.end(),
                     [](const SortEntry& a, const SortEntry& b) { return a.text < b.text; });
    for (const SortEntry& e : entries) dump_entry(e.key.ptr(), e.value.ptr(), at, depth);
  }

  // A non-empty dict whose values are all None or scalars goes on the dash line, in its own order.
  static bool is_compact(PyObject* dict) {
    if (PyDict_GET_SIZE(dict) == 0) return false;
    Py_ssize_t pos = 0;
    PyObject* key = nullptr;
    PyObject* value = nullptr;
    while (PyDict_Next(dict, &pos, &key, &value)) {
      if (!is_none_or_scalar(value)) return false;
    }
    return true;
  }

  void dump_compact(PyObject* dict, std::size_t at, std::size_t depth) {
    bool first = true;
    for_each_entry(dict, [&](PyObject* key, PyObject* value) {
      if (!first) indent(at + kStep);
      first = false;
      write_entry_key(key, at + kStep);
      out_ += ' ';
      dump_value(value, 0, depth + 1);
    });
  }

  void dump_list(PyObject* list, std::size_t at, std::size_t depth) {
    const Py_ssize_t start_size = PyList_GET_SIZE(list);
    if (start_size == 0) {
      indent(at);
      out_ += "[]\n";
      return;
    }
    for (Py_ssize_t i = 0; i < start_size && i < PyList_GET_SIZE(list); ++i) {
      PyObject* item = PyList_GET_ITEM(list, i);
      nb::object item_ref = nb::borrow(item);  // code run while it is written may drop it from the list
      indent(at);
      out_ += "- ";
      const Value c = classify(item);
      if (c.kind == Kind::Dict && is_compact(item)) {
        if (depth + 1 >= kMaxValueDepth) raise_value_too_deep(kMaxValueDepth);
        dump_compact(item, at, depth + 1);
      } else if (c.is_collection_or_other()) {
        out_ += '\n';
        dump_classified(item, c, at + kStep, depth + 1);
      } else {
        dump_classified(item, c, 0, depth + 1);
      }
    }
  }

  // Values that are neither scalars nor dicts and lists: NumPy arrays, written by the tree serializer, and
  // objects that a registered custom type claims.
  void dump_other(PyObject* v, std::size_t at) {
    if (std::optional<Node> array = array_to_node(v)) {
      SerializeOptions options;
      options.indent_offset = at;
      if (std::optional<SerializeError> error = serialize_into(out_, *array, options)) {
        raise_serialize_error(*error, options.max_depth);
      }
      return;
    }
    if (std::optional<CustomTypeClaim> claim = claim_by_custom_type(v)) {
      indent(at);
      write_claim(*claim);
      out_ += '\n';
      return;
    }
    raise_unsupported_type();
  }

  std::string& out_;
  bool sort_keys_;
};

struct ThreadBuffer {
  std::string text;
  bool in_use = false;
};

thread_local ThreadBuffer t_buffer;

}  // namespace

void direct_dump(std::string& out, PyObject* value, bool sort_keys) { Dumper(out, sort_keys).dump_value(value, 0, 0); }

DumpBuffer::DumpBuffer() : text_(&own_), borrowed_(!t_buffer.in_use) {
  if (borrowed_) {
    t_buffer.in_use = true;
    t_buffer.text.clear();
    text_ = &t_buffer.text;
  }
}

DumpBuffer::~DumpBuffer() {
  if (!borrowed_) return;
  if (t_buffer.text.capacity() > kKeptBufferBytes) std::string().swap(t_buffer.text);
  t_buffer.in_use = false;
}

}  // namespace velmo::py
