#include "read_functions.hpp"

#include <cstdint>
#include <span>
#include <string>

#include <pybind11/stl.h>

#include "decoded_values.hpp"
#include "python_objects.hpp"
#include "shift_jis_decoder.hpp"

namespace zolehead::python {

namespace {

// Holds a bytes-like object's buffer; released, with the GIL held, when the
// read is over.
class BufferView {
public:
    explicit BufferView(py::handle data) {
        if (PyObject_GetBuffer(data.ptr(), &view_, PyBUF_SIMPLE) != 0) throw py::error_already_set();
    }
    ~BufferView() { PyBuffer_Release(&view_); }
    BufferView(const BufferView&) = delete;
    BufferView& operator=(const BufferView&) = delete;

    std::span<const std::uint8_t> bytes() const noexcept {
        return {static_cast<const std::uint8_t*>(view_.buf), static_cast<std::size_t>(view_.len)};
    }

private:
    Py_buffer view_;
};

py::object Read(py::handle path, int form_code) {
    const zolehead::HeaderForm form = FormFromCode(form_code);
    const std::string file = EncodePath(path);
    zolehead::ZoleHeader header;
    zolehead::ReadResult result;
    std::string decoded;
    {
        py::gil_scoped_release release;
        result = zolehead::ReadHeaderFile(file.c_str(), form, header);
        if (result) AppendDecodedValues(header, ThreadFieldText(), decoded);
    }
    if (!result) ThrowReadError(result.system_error, zolehead::DescribeReadStatus(result.status), GivenPath(path));
    return MakeHeader(header, decoded);
}

py::object ReadBytes(py::handle data, int form_code) {
    const zolehead::HeaderForm form = FormFromCode(form_code);
    const BufferView buffer(data);
    zolehead::ZoleHeader header;
    std::string decoded;
    {
        py::gil_scoped_release release;
        header = zolehead::ReadHeader(buffer.bytes(), form);
        AppendDecodedValues(header, ThreadFieldText(), decoded);
    }
    return MakeHeader(header, decoded);
}

py::list Identifiers() {
    zolehead::collection::ShiftJisDecoder decoder;
    py::list table;
    for (const zolehead::Identifier& row : zolehead::kIdentifiers) {
        std::string label;
        decoder.decode(row.label, label);
        table.append(py::make_tuple(py::str(row.keyword.data(), row.keyword.size()), py::str(label)));
    }
    return table;
}

}  // namespace

zolehead::HeaderForm FormFromCode(int code) {
    switch (code) {
    case 0: return zolehead::HeaderForm::A;
    case 1: return zolehead::HeaderForm::B;
    case 2: return zolehead::HeaderForm::BOTH;
    default: throw py::value_error("form code must be 0 (A), 1 (B) or 2 (both)");
    }
}

void DefineReadFunctions(py::module_& module) {
    module.def("read", &Read, py::arg("path"), py::arg("form"),
               "read(path, form_code) -> Header: the header of one file, read with the GIL released.");
    module.def("read_bytes", &ReadBytes, py::arg("data"), py::arg("form"),
               "read_bytes(data, form_code) -> Header: the header of a bytes-like object.");
    module.def("identifiers", &Identifiers, "[(keyword, label), ...]: the sixteen fields in table order.");
    module.def(
        "version",
        [] { return py::make_tuple(ZOLEHEAD_VERSION_MAJOR, ZOLEHEAD_VERSION_MINOR, ZOLEHEAD_VERSION_PATCH, 0); },
        "(major, minor, patch, 0): the core's version, as the C API reports it.");
}

}  // namespace zolehead::python
