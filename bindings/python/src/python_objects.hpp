// The Python objects the extension hands out: Header, Field and
// ZoleHeadReadError are the package's own Python classes (zolehead._header,
// zolehead._errors), so they pickle, compare and print as plain Python
// values. Every function here needs the GIL.
#pragma once

#include <string>
#include <string_view>

#include <pybind11/pybind11.h>

#include "zolehead.hpp"

namespace zolehead::python {

namespace py = pybind11;

// Imports the package's classes; once, when the extension is imported.
void LoadPythonClasses();

// A Header of the slots `header` holds; `decoded` is what
// AppendDecodedValues made of the same header.
py::object MakeHeader(const zolehead::ZoleHeader& header, std::string_view decoded);

// ZoleHeadReadError(errno, strerror, filename): errno None and `reason` as
// strerror when `system_error` is 0, else the system's message for it.
py::object MakeReadError(int system_error, std::string_view reason, py::handle filename);

// A path argument's bytes as the system takes them: str, bytes or
// os.PathLike; TypeError for anything else, ValueError for a NUL.
std::string EncodePath(py::handle path);

// The same bytes held in a bytes object, NUL-terminated, for a read: no copy
// is made, and the object is immutable, so they may be used with the GIL
// released for as long as the object is kept.
class EncodedPath {
public:
    explicit EncodedPath(py::handle path);
    const char* c_str() const noexcept { return PyBytes_AS_STRING(bytes_.ptr()); }

private:
    py::object bytes_;
};

// The path as given (os.fspath(path)): what an error names as its filename.
py::object GivenPath(py::handle path);

// Raises MakeReadError(...) as the current Python exception.
[[noreturn]] void ThrowReadError(int system_error, std::string_view reason, py::handle filename);

}  // namespace zolehead::python
