// explain() and lint(): a file's story and its warnings as the tool's --json
// records (explain_json.hpp makes both), so the shapes cannot drift apart.
#pragma once

#include <pybind11/pybind11.h>

namespace zolehead::python {

namespace py = pybind11;

void DefineExplainFunctions(py::module_& module);

}  // namespace zolehead::python
