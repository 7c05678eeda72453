// register_tag, remove_tag, clear_tag_handlers.
#include "args.hpp"
#include "binding/callable.hpp"
#include "bindings.hpp"
#include "registries/tag_registry.hpp"

namespace nb = nanobind;

namespace velmo::py {
namespace {

std::uint32_t to_priority(nb::handle obj) {
  PyObject* o = obj.ptr();
  if (!PyLong_Check(o) && !PyIndex_Check(o)) raise_argument_type("priority", "int", obj);
  nb::object index = nb::steal(PyNumber_Index(o));
  if (!index.is_valid()) throw nb::python_error();
  int overflow = 0;
  long long v = PyLong_AsLongLongAndOverflow(index.ptr(), &overflow);
  if (v == -1 && PyErr_Occurred()) throw nb::python_error();
  if (overflow != 0 || v < 0 || v > 0xFFFFFFFFLL) {
    PyErr_SetString(PyExc_OverflowError, "out of range integral type conversion attempted");
    throw nb::python_error();
  }
  return static_cast<std::uint32_t>(v);
}

constexpr char kRegisterTag[] = "register_tag";
constexpr Params<3> kRegisterParams{{"name", "handler", "priority"}, 2};
nb::object register_tag(nb::handle, Args args) {
  std::string_view name = to_str(args[0], "name");
  std::uint32_t priority = args[2] ? to_priority(args[2]) : 0;
  register_tag_handler(name, args[1], priority);
  return nb::none();
}

constexpr char kRemoveTag[] = "remove_tag";
constexpr Params<1> kNameParam{{"name"}, 1};
nb::object remove_tag(nb::handle, Args args) {
  remove_tag_handlers(to_str(args[0], "name"));
  return nb::none();
}

constexpr char kClearTagHandlers[] = "clear_tag_handlers";
constexpr Params<0> kNoParams{{}, 0};
nb::object clear(nb::handle, Args) {
  clear_tag_handlers();
  return nb::none();
}

PyMethodDef g_defs[] = {
    method_def<kRegisterTag, kRegisterParams, register_tag>("register_tag(name, handler, priority=0)\n--\n\n"),
    method_def<kRemoveTag, kNameParam, remove_tag>("remove_tag(name)\n--\n\n"),
    method_def<kClearTagHandlers, kNoParams, clear>("clear_tag_handlers()\n--\n\n"),
};

}  // namespace

void bind_tag_functions(nb::module_& m) {
  for (PyMethodDef& def : g_defs) add_function(m, def);
}

}  // namespace velmo::py
