// The module's exception classes and the one conversion from the core's error values to Python exceptions.
#pragma once

#include <Python.h>

#include <cstdint>

#include "errors/error.hpp"
#include "errors/load_error.hpp"

namespace velmo::py {

// Creates the ten exception classes (once per process) and adds them to `module`. Returns false with a
// pending Python exception on failure.
bool add_exception_classes(PyObject* module);

// The class object for `cls` (a borrowed reference).
PyObject* exception_class(ErrorClass cls);

// Sets `e` as the pending Python exception: its class, and its message rendered now in the current language,
// as the one argument.
void set_pending(const Error& e);

// set_pending, then unwinds to the binding layer, which raises the pending exception.
[[noreturn]] void raise(const Error& e);
[[noreturn]] void raise(const LoadError& e, std::uint64_t max_depth);

}  // namespace velmo::py
