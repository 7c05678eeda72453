// The module's load functions: parse, parse_all_docs, parse_file, safe_load, safe_loads.
#include "args.hpp"
#include "binding/callable.hpp"
#include "bindings.hpp"
#include "py/editing/document.hpp"
#include "py/load_common.hpp"
#include "registries/tag_registry.hpp"

namespace nb = nanobind;

namespace velmo::py {
namespace {

constexpr std::uint64_t kDefaultMaxDepth = 1000;

// schema, max_depth, allow_duplicate_keys: the trailing parameters every load function shares.
struct CommonArgs {
  std::string_view schema;
  parser::LoadOptions options;
};

CommonArgs common_args(Args args, std::size_t first, bool resolve_merges) {
  CommonArgs c;
  c.schema = str_or(args[first], "schema", "core");
  c.options.max_depth = unsigned_or(args[first + 1], "max_depth", kDefaultMaxDepth);
  c.options.allow_duplicate_keys = bool_or(args[first + 2], "allow_duplicate_keys", false);
  c.options.resolve_merges = resolve_merges;
  return c;
}

constexpr Params<5> kParseParams{{"yaml", "resolve_merges", "schema", "max_depth", "allow_duplicate_keys"}, 1};
constexpr Params<4> kLoadParams{{"yaml", "schema", "max_depth", "allow_duplicate_keys"}, 1};
constexpr Params<4> kFileParams{{"path", "schema", "max_depth", "allow_duplicate_keys"}, 1};

constexpr char kParse[] = "parse";
nb::object parse(nb::handle, Args args) {
  bool merges = bool_or(args[1], "resolve_merges", true);
  CommonArgs c = common_args(args, 2, merges);
  SharedText source = source_from_str_or_bytes(args[0]);
  SchemaHandle schema = schema_from_name(c.schema);
  Node root = load_one_released(source, c.options);
  apply_tag_handlers(root);
  return make_document(std::move(schema), std::move(root), std::move(source));
}

constexpr char kParseAllDocs[] = "parse_all_docs";
nb::object parse_all_docs(nb::handle, Args args) {
  std::string_view text = to_str(args[0], "yaml");
  bool merges = bool_or(args[1], "resolve_merges", true);
  CommonArgs c = common_args(args, 2, merges);
  SchemaHandle schema = schema_from_name(c.schema);
  SharedText source = SharedText::copy_of(text);
  std::vector<Node> roots = load_all_released(source, c.options);
  nb::list out;
  // Every document keeps the whole stream as its source; the text itself is shared, not copied.
  for (Node& root : roots) out.append(make_document(schema, std::move(root), source));
  return out;
}

constexpr char kParseFile[] = "parse_file";
nb::object parse_file(nb::handle, Args args) {
  std::string_view path = to_str(args[0], "path");
  CommonArgs c = common_args(args, 1, true);
  SchemaHandle schema = schema_from_name(c.schema);
  SharedText source = source_from_file(path);
  Node root = load_one_released(source, c.options);
  apply_tag_handlers(root);
  return make_document(std::move(schema), std::move(root), std::move(source));
}

constexpr char kSafeLoad[] = "safe_load";
nb::object safe_load(nb::handle, Args args) {
  std::string_view text = to_str(args[0], "yaml");
  CommonArgs c = common_args(args, 1, true);
  return load_values(text, schema_from_name(c.schema), c.options, false, true);
}

constexpr char kSafeLoads[] = "safe_loads";
nb::object safe_loads(nb::handle, Args args) {
  std::string_view text = to_str(args[0], "yaml");
  CommonArgs c = common_args(args, 1, true);
  return load_values(text, schema_from_name(c.schema), c.options, true, false);
}

PyMethodDef g_defs[] = {
    method_def<kParse, kParseParams, parse>(
        "parse(yaml, resolve_merges=True, schema=\"core\", max_depth=1000, allow_duplicate_keys=False)\n--\n\n"
        "Parse a YAML string (str or bytes) and return an editable `YamlDocument`."),
    method_def<kParseAllDocs, kParseParams, parse_all_docs>(
        "parse_all_docs(yaml, resolve_merges=True, schema=\"core\", max_depth=1000, allow_duplicate_keys=False)"
        "\n--\n\nParse a multi-document YAML stream and return all `YamlDocument` objects."),
    method_def<kParseFile, kFileParams, parse_file>(
        "parse_file(path, schema=\"core\", max_depth=1000, allow_duplicate_keys=False)\n--\n\n"
        "Parse a YAML file and return an editable `YamlDocument`."),
    method_def<kSafeLoad, kLoadParams, safe_load>(
        "safe_load(yaml, schema=\"core\", max_depth=1000, allow_duplicate_keys=False)\n--\n\n"
        "Parse YAML into a Python dict/list, resolving anchors and merges."),
    method_def<kSafeLoads, kLoadParams, safe_loads>(
        "safe_loads(yaml, schema=\"core\", max_depth=1000, allow_duplicate_keys=False)\n--\n\n"
        "Parse a multi-document YAML stream into a list of dicts/lists."),
};

}  // namespace

void bind_load_functions(nb::module_& m) {
  for (PyMethodDef& def : g_defs) add_function(m, def);
}

}  // namespace velmo::py
