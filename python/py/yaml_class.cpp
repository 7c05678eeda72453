// The YAML class: loading options fixed once, and the load operations as methods.
#include <string>

#include "args.hpp"
#include "binding/callable.hpp"
#include "binding/native_type.hpp"
#include "bindings.hpp"
#include "errors.hpp"
#include "py/editing/document.hpp"
#include "py/load_common.hpp"
#include "registries/tag_registry.hpp"
#include "schema/registered_schemas.hpp"

namespace nb = nanobind;

namespace velmo::py {
namespace {

struct YamlOptions {
  std::string typ;
  std::string schema;
  std::uint64_t max_depth = 1000;
  bool allow_duplicate_keys = false;

  // Documents keep their merge keys under "safe"; "rt" and "full" resolve them.
  parser::LoadOptions load_options(bool resolve_merges) const {
    parser::LoadOptions o;
    o.resolve_merges = resolve_merges;
    o.max_depth = max_depth;
    o.allow_duplicate_keys = allow_duplicate_keys;
    return o;
  }
  bool documents_merge() const { return typ != "safe"; }
};

const YamlOptions& options_of(nb::handle self) {
  const std::optional<YamlOptions>& o = native_slot<YamlOptions>(self);
  if (!o) {
    PyErr_SetString(PyExc_TypeError, "YAML instance is not initialised");
    throw nb::python_error();
  }
  return *o;
}

bool schema_is_registered(std::string_view name) {
  for (std::string_view builtin : {"core", "json", "failsafe", "yaml1.1"}) {
    if (name == builtin) return true;
  }
  for (const std::string& registered : registered_schema_names()) {
    if (name == registered) return true;
  }
  return false;
}

constexpr Params<4> kInitParams{{"typ", "schema", "max_depth", "allow_duplicate_keys"}, 0};
constexpr Params<1> kYamlParam{{"yaml"}, 1};
constexpr Params<1> kPathParam{{"path"}, 1};

constexpr char kInit[] = "__init__";
nb::object init(nb::handle self, Args args) {
  YamlOptions o;
  o.typ = std::string(str_or(args[0], "typ", "rt"));
  o.schema = std::string(str_or(args[1], "schema", "core"));
  o.max_depth = unsigned_or(args[2], "max_depth", 1000);
  o.allow_duplicate_keys = bool_or(args[3], "allow_duplicate_keys", false);
  if (o.typ != "rt" && o.typ != "safe" && o.typ != "full") {
    raise(Error::fixed(ErrorClass::YamlTypeError, "Invalid YAML type: '" + o.typ + "'. Valid types: rt, safe, full"));
  }
  if (!schema_is_registered(o.schema)) {
    raise(Error::fixed(ErrorClass::YamlTypeError,
                       "Invalid schema: '" + o.schema +
                           "'. Valid schemas: core, yaml1.1, failsafe, json (plus any registered custom schemas)"));
  }
  native_slot<YamlOptions>(self) = std::move(o);
  return nb::none();
}

constexpr char kParse[] = "parse";
nb::object parse(nb::handle self, Args args) {
  const YamlOptions& o = options_of(self);
  SharedText source = source_from_str_or_bytes(args[0]);
  SchemaHandle schema = schema_from_name(o.schema);
  Node root = load_one_released(source, o.load_options(o.documents_merge()));
  apply_tag_handlers(root);
  return make_document(std::move(schema), std::move(root), std::move(source));
}

constexpr char kParseAllDocs[] = "parse_all_docs";
nb::object parse_all_docs(nb::handle self, Args args) {
  const YamlOptions& o = options_of(self);
  SharedText source = SharedText::copy_of(to_str(args[0], "yaml"));
  SchemaHandle schema = schema_from_name(o.schema);
  std::vector<Node> roots = load_all_released(source, o.load_options(o.documents_merge()));
  nb::list out;
  for (Node& root : roots) out.append(make_document(schema, std::move(root), source));
  return out;
}

constexpr char kParseFile[] = "parse_file";
nb::object parse_file(nb::handle self, Args args) {
  const YamlOptions& o = options_of(self);
  std::string_view path = to_str(args[0], "path");
  SchemaHandle schema = schema_from_name(o.schema);
  SharedText source = source_from_file(path);
  Node root = load_one_released(source, o.load_options(o.documents_merge()));
  return make_document(std::move(schema), std::move(root), std::move(source));
}

constexpr char kSafeLoad[] = "safe_load";
nb::object safe_load(nb::handle self, Args args) {
  const YamlOptions& o = options_of(self);
  std::string_view text = to_str(args[0], "yaml");
  return load_values(text, schema_from_name(o.schema), o.load_options(true), false, false);
}

constexpr char kSafeLoads[] = "safe_loads";
nb::object safe_loads(nb::handle self, Args args) {
  const YamlOptions& o = options_of(self);
  std::string_view text = to_str(args[0], "yaml");
  return load_values(text, schema_from_name(o.schema), o.load_options(true), true, false);
}

PyMethodDef g_defs[] = {
    method_def<kInit, kInitParams, init>(
        "__init__($self, /, typ=\"rt\", schema=\"core\", max_depth=1000, allow_duplicate_keys=False)\n--\n\n"
        "Create a YAML instance; `typ` can be `rt`/`safe`/`full`."),
    method_def<kParse, kYamlParam, parse>(
        "parse($self, /, yaml)\n--\n\nParse a YAML string and return a `YamlDocument`."),
    method_def<kParseAllDocs, kYamlParam, parse_all_docs>(
        "parse_all_docs($self, /, yaml)\n--\n\nParse multi-document YAML and return a list of `YamlDocument`."),
    method_def<kParseFile, kPathParam, parse_file>(
        "parse_file($self, /, path)\n--\n\nParse a YAML file and return a `YamlDocument`."),
    method_def<kSafeLoad, kYamlParam, safe_load>(
        "safe_load($self, /, yaml)\n--\n\nParse YAML into a dict/list (resolves anchors and merges)."),
    method_def<kSafeLoads, kYamlParam, safe_loads>(
        "safe_loads($self, /, yaml)\n--\n\nParse multi-document YAML into a list of dicts/lists."),
};

}  // namespace

void bind_yaml_class(nb::module_& m) {
  nb::object cls = make_native_type<YamlOptions>(
      "velmo_yaml.YAML",
      "YAML(typ=\"rt\", schema=\"core\", max_depth=1000, allow_duplicate_keys=False)\n--\n\n"
      "Configured YAML parser instance (rt / safe / full).");
  for (PyMethodDef& def : g_defs) add_method(cls, def);
  bind_yaml_writers(cls);
  m.attr("YAML") = cls;
}

}  // namespace velmo::py
