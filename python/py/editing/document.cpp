// YamlDocument: the class, its access guard and its read access.
#include "py/editing/document.hpp"

#include <string>

#include "args.hpp"
#include "binding/callable.hpp"
#include "bindings.hpp"
#include "convert/py_text.hpp"
#include "convert/tree_to_python.hpp"
#include "errors.hpp"

namespace nb = nanobind;

namespace velmo::py {

SharedAccess::SharedAccess(YamlDocument& d) : flag_(d.borrow) {
  if (!flag_.try_share()) raise(Error::fixed(ErrorClass::RuntimeError, "Already mutably borrowed"));
}

ExclusiveAccess::ExclusiveAccess(YamlDocument& d) : flag_(d.borrow) {
  if (!flag_.try_exclude()) raise(Error::fixed(ErrorClass::RuntimeError, "Already borrowed"));
}

nb::object make_document(SchemaHandle schema, Node root, std::optional<SharedText> source) {
  nb::object obj = nb::inst_alloc(nb::type<YamlDocument>());
  new (nb::inst_ptr<YamlDocument>(obj)) YamlDocument(std::move(schema), std::move(root), std::move(source));
  nb::inst_mark_ready(obj);
  return obj;
}

YamlDocument& document_of(nb::handle self) {
  if (!nb::inst_ready(self)) {
    PyErr_SetString(PyExc_TypeError, "YamlDocument instances are created by the parse functions");
    throw nb::python_error();
  }
  return *nb::inst_ptr<YamlDocument>(self);
}

namespace {

nb::object converted(const YamlDocument& d, const Node& node) {
  // Aliases inside the selected node expand to the document's anchors, as they do in to_dict.
  PyObject* o = tree_to_python(node, d.schema, &d.root);
  if (o == nullptr) throw nb::python_error();
  return nb::steal(o);
}

// The entry of the root mapping found by node equality with a plain, untagged, uncommented scalar key.
const Node* direct_lookup(const YamlDocument& d, std::string_view key) {
  if (!d.root.is_mapping()) return nullptr;
  return d.root.pairs().find(Node::scalar(SharedText::copy_of(key)));
}

constexpr Params<0> kSelfOnly{{}, 0};
constexpr Params<1> kKeyParam{{"key"}, 1};
constexpr Params<2> kGetParams{{"key", "default"}, 1};

constexpr char kGetItem[] = "__getitem__";
nb::object getitem(nb::handle self, Args args) {
  YamlDocument& d = document_of(self);
  SharedAccess access(d);
  PyObject* key = args[0].ptr();
  if (d.root.is_mapping()) {
    if (!PyUnicode_Check(key)) raise(Error::keyed(ErrorClass::YamlTypeError, "key-not-string"));
    std::string_view text = to_str(key, "key");
    const Node* value = direct_lookup(d, text);
    if (value == nullptr) raise(Error::keyed(ErrorClass::KeyError, "key-not-found", {{"key", text}}));
    return converted(d, *value);
  }
  if (d.root.is_sequence()) {
    unsigned long long index = PyLong_Check(key) ? PyLong_AsUnsignedLongLong(key) : 0;
    if (!PyLong_Check(key) || (index == static_cast<unsigned long long>(-1) && PyErr_Occurred())) {
      PyErr_Clear();
      raise(Error::keyed(ErrorClass::YamlTypeError, "index-not-integer"));
    }
    std::size_t len = d.root.size();
    if (index >= len) {
      raise(Error::keyed(ErrorClass::IndexError, "index-out-of-range",
                         {{"index", std::to_string(index)}, {"len", std::to_string(len)}}));
    }
    return converted(d, d.root.items()[index]);
  }
  raise(Error::keyed(ErrorClass::YamlTypeError, "not-subscriptable"));
}

constexpr char kContains[] = "__contains__";
nb::object contains(nb::handle self, Args args) {
  YamlDocument& d = document_of(self);
  std::string_view key = to_str(args[0], "key");
  SharedAccess access(d);
  return nb::bool_(direct_lookup(d, key) != nullptr);
}

constexpr char kLen[] = "__len__";
nb::object len(nb::handle self, Args) {
  YamlDocument& d = document_of(self);
  SharedAccess access(d);
  return nb::int_(d.root.size());
}

constexpr char kIter[] = "__iter__";
nb::object iter(nb::handle self, Args) {
  YamlDocument& d = document_of(self);
  SharedAccess access(d);
  nb::list out;
  if (d.root.is_mapping()) {
    for (const PairEntry& e : d.root.pairs()) out.append(converted(d, e.key()));
  } else if (d.root.is_sequence()) {
    for (const Node& item : d.root.items()) out.append(converted(d, item));
  }
  return nb::steal(PyObject_GetIter(out.ptr()));
}

constexpr char kGet[] = "get";
nb::object get(nb::handle self, Args args) {
  YamlDocument& d = document_of(self);
  std::string_view key = to_str(args[0], "key");
  SharedAccess access(d);
  const Node* value = direct_lookup(d, key);
  if (value == nullptr) return nb::borrow(args[1] ? args[1] : nb::none());
  return converted(d, *value);
}

constexpr char kSource[] = "source";
nb::object source(nb::handle self, Args) {
  YamlDocument& d = document_of(self);
  ExclusiveAccess access(d);
  // Edits (which mark the document dirty) are what a flush brings into `source`; a document that was never
  // edited has its source up to date.
  return nb::steal(make_str(d.source ? d.source->view() : std::string_view()));
}

constexpr char kFlushSource[] = "flush_source";
nb::object flush_source(nb::handle self, Args) {
  YamlDocument& d = document_of(self);
  ExclusiveAccess access(d);
  return nb::none();
}

constexpr char kToDict[] = "to_dict";
nb::object to_dict(nb::handle self, Args) {
  YamlDocument& d = document_of(self);
  SharedAccess access(d);
  bool aliases = !d.source || d.source->view().find('&') != std::string_view::npos;
  PyObject* o = tree_to_python(d.root, d.schema, aliases);
  if (o == nullptr) throw nb::python_error();
  return nb::steal(o);
}

constexpr char kVersion[] = "version";
nb::object version(nb::handle self, Args) {
  document_of(self);
  return nb::str(YamlDocument::kVersion);
}

constexpr char kRootType[] = "root_type";
nb::object root_type(nb::handle self, Args) {
  YamlDocument& d = document_of(self);
  SharedAccess access(d);
  switch (d.root.kind()) {
    case NodeKind::Scalar: return nb::str("scalar");
    case NodeKind::Mapping: return nb::str("mapping");
    case NodeKind::Sequence: return nb::str("sequence");
    case NodeKind::Null: return nb::str("null");
    case NodeKind::Alias: return nb::str("alias");
  }
  return nb::str("null");
}

constexpr char kRevision[] = "_revision";
nb::object revision(nb::handle self, Args) {
  YamlDocument& d = document_of(self);
  SharedAccess access(d);
  return nb::int_(d.revision);
}

PyMethodDef g_defs[] = {
    method_def<kGetItem, kKeyParam, getitem>(
        "__getitem__($self, key, /)\n--\n\nAccess a child node by key (mapping) or index (sequence)."),
    method_def<kContains, kKeyParam, contains>(
        "__contains__($self, key, /)\n--\n\nCheck if a key exists in the mapping."),
    method_def<kLen, kSelfOnly, len>(
        "__len__($self, /)\n--\n\nReturn the number of mapping entries or sequence length."),
    method_def<kIter, kSelfOnly, iter>(
        "__iter__($self, /)\n--\n\nReturn an iterator over keys (mapping) or values (sequence)."),
    method_def<kGet, kGetParams, get>(
        "get($self, /, key, default=None)\n--\n\nAccess a value by top-level mapping key, returning `default` if not "
        "found.\nPath-based access is available via `find()` / `node()`."),
    method_def<kSource, kSelfOnly, source>("source($self, /)\n--\n\nReturn the current YAML source string."),
    method_def<kFlushSource, kSelfOnly, flush_source>(
        "flush_source($self, /)\n--\n\nLazily re-serialize the AST into `source` if edits have occurred."),
    method_def<kToDict, kSelfOnly, to_dict>(
        "to_dict($self, /)\n--\n\nConvert the document to a Python dict/list, resolving anchor references."),
    method_def<kVersion, kSelfOnly, version>("version($self, /)\n--\n\nReturn the YAML version string."),
    method_def<kRootType, kSelfOnly, root_type>(
        "root_type($self, /)\n--\n\nReturn the root node type: `scalar`/`mapping`/`sequence`/`null`/`alias`."),
    method_def<kRevision, kSelfOnly, revision>(
        "_revision($self, /)\n--\n\nReturn the current revision number (incremented on each edit)."),
};

}  // namespace

void bind_document(nb::module_& m) {
  nb::class_<YamlDocument> cls(
      m, "YamlDocument",
      "Round-trip editable YAML document with transaction support, path editing, and source preservation.");
  for (PyMethodDef& def : g_defs) add_method(cls, def);
  bind_document_walks(cls);
  bind_document_output(cls);
}

}  // namespace velmo::py
