// zolehead._zolehead: the compiled part of the zolehead package, over the
// reentrant core and the collection reader, linked in statically. Each
// capability defines its own functions; the package's Python modules wrap
// them with their documented signatures.
#include <pybind11/pybind11.h>

#include "edit_function.hpp"
#include "explain_functions.hpp"
#include "python_objects.hpp"
#include "read_functions.hpp"
#include "scan_iterator.hpp"

PYBIND11_MODULE(_zolehead, module) {
    module.doc() = "The compiled part of zolehead; use the zolehead package.";
    module.attr("__version__") = ZOLEHEAD_VERSION;
    zolehead::python::LoadPythonClasses();
    zolehead::python::DefineReadFunctions(module);
    zolehead::python::DefineScan(module);
    zolehead::python::DefineEditFunction(module);
    zolehead::python::DefineExplainFunctions(module);
}
