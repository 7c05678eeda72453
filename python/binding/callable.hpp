// Functions and methods with CPython's own calling convention (METH_FASTCALL | METH_KEYWORDS), so that each has
// exactly the docstring and text signature it declares (`__doc__`, `__text_signature__`, `inspect.signature`).
// Arguments are matched to parameters here; converting them is the job of each implementation, which reads them
// in declaration order with the helpers of args.hpp.
#pragma once

#include <Python.h>
#include <nanobind/nanobind.h>

#include <array>
#include <cstddef>
#include <exception>
#include <span>

namespace velmo::py {

// The parameters of a callable, in declaration order. `required` leading parameters must be given.
template <std::size_t N>
struct Params {
  std::array<const char*, N> names;
  std::size_t required;
};

// Borrowed references to the arguments in parameter order; an omitted optional parameter is a null handle.
using Args = std::span<const nanobind::handle>;

namespace detail {

// Matches positional and keyword arguments to `names`. Returns false with a TypeError set on a mismatch.
bool match_arguments(const char* func, std::span<const char* const> names, std::size_t required,
                     PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames, nanobind::handle* out);

// Runs `body`, turning C++ exceptions into a pending Python exception (nullptr result).
template <class Body>
PyObject* guarded(Body&& body) noexcept {
  try {
    return body();
  } catch (nanobind::python_error& e) {
    e.restore();
  } catch (const nanobind::builtin_exception& e) {
    e.type() == nanobind::exception_type::type_error ? PyErr_SetString(PyExc_TypeError, e.what())
                                                     : PyErr_SetString(PyExc_RuntimeError, e.what());
  } catch (const std::bad_alloc&) {
    PyErr_NoMemory();
  } catch (const std::exception& e) {
    PyErr_SetString(PyExc_RuntimeError, e.what());
  }
  return nullptr;
}

}  // namespace detail

// Impl: nanobind::object (nanobind::handle self, Args args). `Name` is used in argument error messages.
template <const char* Name, const auto& P, auto Impl>
PyObject* fastcall(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) noexcept {
  constexpr std::size_t n = std::tuple_size_v<decltype(P.names)>;
  std::array<nanobind::handle, n == 0 ? 1 : n> slots{};
  if (!detail::match_arguments(Name, std::span<const char* const>(P.names.data(), n), P.required, args, nargs,
                               kwnames, slots.data())) {
    return nullptr;
  }
  return detail::guarded([&] { return Impl(nanobind::handle(self), Args(slots.data(), n)).release().ptr(); });
}

// The method table entry for a fastcall implementation. `doc` starts with the text signature:
// "name(a, b=1)\n--\n\nDocstring." (methods: "name($self, a)\n--\n\n...").
template <const char* Name, const auto& P, auto Impl>
PyMethodDef method_def(const char* doc) {
  return {Name, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&fastcall<Name, P, Impl>)),
          METH_FASTCALL | METH_KEYWORDS, doc};
}

// Adds a module-level function. `def` must live as long as the module (a static).
void add_function(nanobind::module_& m, PyMethodDef& def);

// Adds a method to a class: a method descriptor, whose `self` is the instance. Special names such as
// "__len__" fill the matching type slots. `def` must be a static.
void add_method(nanobind::handle cls, PyMethodDef& def);

}  // namespace velmo::py

