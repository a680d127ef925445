#include "read_functions.hpp"

#include <cstdint>
#include <new>
#include <span>
#include <string>
#include <string_view>

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

py::object Read(py::handle path, zolehead::HeaderForm form) {
    const EncodedPath file(path);
    zolehead::ZoleHeader header;
    zolehead::ReadResult result;
    std::string decoded;
    {
        py::gil_scoped_release release;
        result = zolehead::ReadHeaderFile(file.c_str(), form, header);
        if (result) AppendDecodedValues(header, nullptr, decoded);
    }
    if (!result) ThrowReadError(result.system_error, zolehead::DescribeReadStatus(result.status), GivenPath(path));
    return MakeHeader(header, decoded);
}

py::object ReadBytes(py::handle data, zolehead::HeaderForm form) {
    const BufferView buffer(data);
    zolehead::ZoleHeader header;
    std::string decoded;
    {
        py::gil_scoped_release release;
        header = zolehead::ReadHeader(buffer.bytes(), form);
        AppendDecodedValues(header, nullptr, decoded);
    }
    return MakeHeader(header, decoded);
}

// The form argument: "both", "A" or "B" in any case, "both" when left out.
zolehead::HeaderForm FormFromName(PyObject* form) {
    if (form == nullptr) return zolehead::HeaderForm::BOTH;
    if (PyUnicode_Check(form)) {
        Py_ssize_t size = 0;
        const char* name = PyUnicode_AsUTF8AndSize(form, &size);
        if (name == nullptr) throw py::error_already_set();
        const std::string_view text(name, static_cast<std::size_t>(size));
        const auto is = [&](std::string_view lower) {
            if (text.size() != lower.size()) return false;
            for (std::size_t i = 0; i < text.size(); ++i) {
                const char c = text[i] >= 'A' && text[i] <= 'Z' ? static_cast<char>(text[i] + ('a' - 'A')) : text[i];
                if (c != lower[i]) return false;
            }
            return true;
        };
        if (is("both")) return zolehead::HeaderForm::BOTH;
        if (is("a")) return zolehead::HeaderForm::A;
        if (is("b")) return zolehead::HeaderForm::B;
    }
    const py::object shown = py::repr(form);
    throw py::value_error("form must be 'both', 'A' or 'B', not " + shown.cast<std::string>());
}

// Runs `call` for a function Python calls directly, turning what it throws
// into the Python exception it stands for.
template <class Call>
PyObject* Guarded(Call call) noexcept {
    try {
        return call().release().ptr();
    } catch (py::error_already_set& error) {
        error.restore();
    } catch (const py::builtin_exception& error) {
        error.set_error();
    } catch (const std::bad_alloc&) {
        PyErr_NoMemory();
    } catch (const std::exception& error) {
        PyErr_SetString(PyExc_RuntimeError, error.what());
    }
    return nullptr;
}

// Parses (first, form=None), as `format` and `names` spell them, and reads.
template <class ReadFunction>
PyObject* CallWithForm(PyObject* args, PyObject* keywords, const char* format, const char* const (&names)[3],
                       ReadFunction read) {
    PyObject* first = nullptr;
    PyObject* form = nullptr;
    if (PyArg_ParseTupleAndKeywords(args, keywords, format, const_cast<char**>(names), &first, &form) == 0) {
        return nullptr;
    }
    return Guarded([&] { return read(first, FormFromName(form)); });
}

// read() and read_bytes() are plain C functions rather than pybind11 ones:
// a Python thread holds the GIL for all of a call but the read itself, and
// pybind11's dispatch and a Python-level wrapper were most of that time.
// The less of a call that holds the GIL, the better threads reading at once
// scale.
PyObject* ReadCall(PyObject*, PyObject* args, PyObject* keywords) {
    static const char* const names[] = {"path", "form", nullptr};
    return CallWithForm(args, keywords, "O|O:read", names, Read);
}

PyObject* ReadBytesCall(PyObject*, PyObject* args, PyObject* keywords) {
    static const char* const names[] = {"data", "form", nullptr};
    return CallWithForm(args, keywords, "O|O:read_bytes", names, ReadBytes);
}

constexpr const char kReadDoc[] =
    "read(path, form='both')\n--\n\n"
    "Read the header of the file at ``path`` (str, bytes or os.PathLike).\n\n"
    "``form`` is \"both\" (label lines and starred keywords in one pass, the\n"
    "keyword winning), \"A\" (label lines only) or \"B\" (starred keywords only),\n"
    "in any case. Returns a Header of the fields found. The file is read with\n"
    "the GIL released, so Python threads read in parallel.\n\n"
    "Raises ZoleHeadReadError (an OSError with ``errno`` and ``filename``)\n"
    "when the file cannot be read: missing, not permitted, a directory or any\n"
    "other file that is not a regular one, or a read error part-way. Raises\n"
    "ValueError for a bad ``form`` or a path holding a NUL, TypeError for\n"
    "something that is not a path.";

constexpr const char kReadBytesDoc[] =
    "read_bytes(data, form='both')\n--\n\n"
    "Read the header of a file's contents held in memory.\n\n"
    "``data`` is any contiguous bytes-like object (bytes, bytearray,\n"
    "memoryview, mmap); the result is the one ``read`` gives for a file\n"
    "holding those bytes. Read with the GIL released: do not change a mutable\n"
    "buffer from another thread meanwhile.";

PyMethodDef kReadMethods[] = {
    {"read", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&ReadCall)), METH_VARARGS | METH_KEYWORDS,
     kReadDoc},
    {"read_bytes", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&ReadBytesCall)),
     METH_VARARGS | METH_KEYWORDS, kReadBytesDoc},
    {nullptr, nullptr, 0, nullptr},
};

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
    if (PyModule_AddFunctions(module.ptr(), kReadMethods) != 0) throw py::error_already_set();
    module.def("identifiers", &Identifiers, "[(keyword, label), ...]: the sixteen fields in table order.");
    module.def(
        "version",
        [] { return py::make_tuple(ZOLEHEAD_VERSION_MAJOR, ZOLEHEAD_VERSION_MINOR, ZOLEHEAD_VERSION_PATCH, 0); },
        "(major, minor, patch, 0): the core's version, as the C API reports it.");
}

}  // namespace zolehead::python
