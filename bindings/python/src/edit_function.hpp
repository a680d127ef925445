// edit(): one file's fields set or removed through the editing library's
// Editor, with the GIL released while it reads, plans, checks and writes.
// The result goes back as plain values; the package's Python part turns it
// into an EditResult or raises the refusal.
#pragma once

#include <pybind11/pybind11.h>

namespace zolehead::python {

namespace py = pybind11;

void DefineEditFunction(py::module_& module);

}  // namespace zolehead::python
