// The module's dump functions: safe_dump, from_dict, dump_file, from_json.
#include <variant>

#include "args.hpp"
#include "binding/callable.hpp"
#include "bindings.hpp"
#include "convert/py_text.hpp"
#include "emit/json_reader.hpp"
#include "errors.hpp"
#include "py/direct_dump.hpp"
#include "py/emit/native_file.hpp"
#include "py/emit/serialize_error.hpp"
#include "serializer/serializer.hpp"

namespace nb = nanobind;

namespace velmo::py {
namespace {

constexpr Params<1> kDataParam{{"data"}, 1};
constexpr Params<2> kDumpFileParams{{"data", "path"}, 2};
constexpr Params<1> kJsonParam{{"json_str"}, 1};

nb::object dump_to_str(nb::handle data) {
  DumpBuffer buffer;
  direct_dump(buffer.text(), data.ptr(), false);
  return str_object(buffer.text());
}

constexpr char kSafeDump[] = "safe_dump";
nb::object safe_dump(nb::handle, Args args) { return dump_to_str(args[0]); }

// The same operation as safe_dump: the direct dump already writes empty collections in flow form and the
// others in block form.
constexpr char kFromDict[] = "from_dict";
nb::object from_dict(nb::handle, Args args) { return dump_to_str(args[0]); }

constexpr char kDumpFile[] = "dump_file";
nb::object dump_file(nb::handle, Args args) {
  std::string_view path = to_str(args[1], "path");
  DumpBuffer buffer;
  direct_dump(buffer.text(), args[0].ptr(), false);
  std::string error;
  std::optional<NativeFile> file = NativeFile::create(path, error);
  if (!file) raise_write_error(error, path);
  if (auto write_error = file->write_all(buffer.text())) raise_write_error(*write_error, path);
  return nb::none();
}

constexpr char kFromJson[] = "from_json";
nb::object from_json(nb::handle, Args args) {
  std::string_view json = to_str(args[0], "json_str");
  std::variant<Node, JsonError> read = read_json(json);
  if (auto* error = std::get_if<JsonError>(&read)) {
    raise(Error::keyed(ErrorClass::YamlParseError, "json-parse-error", {{"detail", error->message}}));
  }
  // The reader stops at 128 levels, far below the serializer's limit, so serializing cannot fail here.
  DumpBuffer buffer;
  const SerializeOptions options;
  if (auto error = serialize_into(buffer.text(), std::get<Node>(read), options)) {
    raise_serialize_error(*error, options.max_depth);
  }
  return str_object(buffer.text());
}

PyMethodDef g_defs[] = {
    method_def<kSafeDump, kDataParam, safe_dump>(
        "safe_dump(data)\n--\n\nSerialize a Python dict/list to a YAML string."),
    method_def<kFromDict, kDataParam, from_dict>(
        "from_dict(data)\n--\n\nConvert a Python dict/list to a YAML string (auto-selects block/flow style)."),
    method_def<kDumpFile, kDumpFileParams, dump_file>(
        "dump_file(data, path)\n--\n\nSerialize a Python object to YAML and write to a file."),
    method_def<kFromJson, kJsonParam, from_json>("from_json(json_str)\n--\n\nConvert a JSON string to a YAML string."),
};

}  // namespace

void bind_dump_functions(nb::module_& m) {
  for (PyMethodDef& def : g_defs) add_function(m, def);
}

}  // namespace velmo::py
