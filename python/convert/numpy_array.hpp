// NumPy arrays as nested sequences, read through the buffer protocol so that the module needs no NumPy headers.
#pragma once

#include <Python.h>

#include <optional>

#include "tree/node.hpp"

namespace velmo::py {

// The tree of a NumPy array (an instance of numpy.ndarray or a subclass) with one or more dimensions: nested
// block sequences in row-major order, one level per dimension, whose leaves are plain scalars. Elements of type
// bool, int8 to int64, uint8 to uint64, float32, float64, complex64 and complex128 are supported: integers in
// decimal, floats as the shortest text of their own width without ".0" (1.0 gives 1, NaN gives NaN), complex
// numbers as "(re+imj)". An array without elements gives an empty sequence.
//
// Nothing (and no exception) when `obj` is not such an array, NumPy was never imported, or the element type
// is not supported. The elements are formatted with the interpreter lock released.
std::optional<Node> array_to_node(PyObject* obj);

}  // namespace velmo::py
