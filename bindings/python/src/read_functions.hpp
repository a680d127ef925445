// read(), read_bytes(), the field table and the version: one file or one
// buffer at a time, each read with the GIL released.
#pragma once

#include <pybind11/pybind11.h>

#include "zolehead.hpp"

namespace zolehead::python {

namespace py = pybind11;

// The core's form for the code the Python side passes (0 A, 1 B, 2 both);
// ValueError for anything else.
zolehead::HeaderForm FormFromCode(int code);

void DefineReadFunctions(py::module_& module);

}  // namespace zolehead::python
