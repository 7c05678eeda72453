// YamlDocument's output methods: to_yaml, to_yaml_with_options, to_json, __repr__ and __str__.
#include <string>

#include "args.hpp"
#include "binding/callable.hpp"
#include "bindings.hpp"
#include "convert/py_text.hpp"
#include "convert/tree_to_python.hpp"
#include "errors.hpp"
#include "py/editing/document.hpp"
#include "py/emit/serialize_error.hpp"
#include "serializer/serializer.hpp"

namespace nb = nanobind;

namespace velmo::py {
namespace {

// An unsigned argument whose default is None: omitted or None gives `fallback`.
std::uint64_t unsigned_or_none(nb::handle obj, const char* param, std::uint64_t fallback) {
  return obj && !obj.is_none() ? to_unsigned(obj, param) : fallback;
}

// The tree serialized with the interpreter lock released; the caller's exclusive access keeps other threads off
// the document meanwhile.
std::variant<std::string, SerializeError> serialize_released(const YamlDocument& d, const SerializeOptions& options) {
  nb::gil_scoped_release unlocked;
  return serialize(d.root, options);
}

// The document's tree as text; the caller holds exclusive access. The result is always a fresh serialization
// of the tree, whatever the kept source holds.
std::string document_text(const YamlDocument& d, const SerializeOptions& options) {
  std::variant<std::string, SerializeError> text = serialize_released(d, options);
  if (auto* error = std::get_if<SerializeError>(&text)) raise_serialize_error(*error, options.max_depth);
  return std::get<std::string>(std::move(text));
}

// The text of to_yaml, or nothing on a failure (whose exception is cleared).
std::optional<std::string> document_text_or_nothing(const YamlDocument& d) {
  std::variant<std::string, SerializeError> text = serialize_released(d, SerializeOptions{});
  if (std::holds_alternative<SerializeError>(text)) return std::nullopt;
  return std::get<std::string>(std::move(text));
}

constexpr Params<0> kSelfOnly{{}, 0};
constexpr Params<9> kOptionParams{{"indent_size", "explicit_start", "explicit_end", "sort_keys", "max_depth", "width",
                                   "indent_mapping", "indent_sequence", "indent_offset"},
                                  0};
constexpr Params<1> kIndentParam{{"indent"}, 0};

constexpr char kToYaml[] = "to_yaml";
nb::object to_yaml(nb::handle self, Args) {
  YamlDocument& d = document_of(self);
  ExclusiveAccess access(d);
  return str_object(document_text(d, SerializeOptions{}));
}

constexpr char kToYamlWithOptions[] = "to_yaml_with_options";
nb::object to_yaml_with_options(nb::handle self, Args args) {
  SerializeOptions o;
  o.indent_size = unsigned_or(args[0], "indent_size", 2);
  o.explicit_start = bool_or(args[1], "explicit_start", false);
  o.explicit_end = bool_or(args[2], "explicit_end", false);
  o.sort_keys = bool_or(args[3], "sort_keys", false);
  o.max_depth = unsigned_or(args[4], "max_depth", 1000);
  o.width = unsigned_or(args[5], "width", 80);
  o.indent_mapping = unsigned_or_none(args[6], "indent_mapping", o.indent_size);
  o.indent_sequence = unsigned_or_none(args[7], "indent_sequence", o.indent_size);
  o.indent_offset = unsigned_or_none(args[8], "indent_offset", 0);
  YamlDocument& d = document_of(self);
  ExclusiveAccess access(d);
  return str_object(document_text(d, o));
}

constexpr char kToJson[] = "to_json";
nb::object to_json(nb::handle self, Args args) {
  std::uint64_t indent = unsigned_or(args[0], "indent", 2);
  YamlDocument& d = document_of(self);
  nb::object value;
  {
    SharedAccess access(d);
    // The same conversion as to_dict.
    const bool aliases = !d.source || d.source->view().find('&') != std::string_view::npos;
    PyObject* o = tree_to_python(d.root, d.schema, aliases);
    if (o == nullptr) throw nb::python_error();
    value = nb::steal(o);
  }
  nb::object dumps = nb::module_::import_("json").attr("dumps");
  nb::dict kwargs;
  kwargs["indent"] = nb::int_(indent);
  return dumps(value, **kwargs);
}

constexpr char kRepr[] = "__repr__";
nb::object repr(nb::handle self, Args) {
  YamlDocument& d = document_of(self);
  ExclusiveAccess access(d);
  return str_object("YamlDocument(" + document_text_or_nothing(d).value_or("") + ")");
}

constexpr char kStr[] = "__str__";
nb::object str(nb::handle self, Args) {
  YamlDocument& d = document_of(self);
  ExclusiveAccess access(d);
  std::optional<std::string> text = document_text_or_nothing(d);
  return str_object(text ? *text : std::string("YamlDocument(error)"));
}

PyMethodDef g_defs[] = {
    method_def<kToYaml, kSelfOnly, to_yaml>(
        "to_yaml($self, /)\n--\n\nSerialize the document to a YAML string (default 2-space indent)."),
    method_def<kToYamlWithOptions, kOptionParams, to_yaml_with_options>(
        "to_yaml_with_options($self, /, indent_size=2, explicit_start=False, explicit_end=False, sort_keys=False, "
        "max_depth=1000, width=80, indent_mapping=None, indent_sequence=None, indent_offset=None)\n--\n\n"
        "Serialize with customizable indent, sorting, and explicit start/end markers."),
    method_def<kToJson, kIndentParam, to_json>(
        "to_json($self, /, indent=2)\n--\n\nSerialize to a JSON string (via Python `json.dumps`)."),
    method_def<kRepr, kSelfOnly, repr>("__repr__($self, /)\n--\n\nReturn a `YamlDocument(...)` representation."),
    method_def<kStr, kSelfOnly, str>("__str__($self, /)\n--\n\nReturn the YAML string representation."),
};

}  // namespace

void bind_document_output(nb::handle cls) {
  for (PyMethodDef& def : g_defs) add_method(cls, def);
}

}  // namespace velmo::py
