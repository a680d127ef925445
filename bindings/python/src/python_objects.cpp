#include "python_objects.hpp"

#include <array>
#include <cstring>
#include <system_error>

#include "decoded_values.hpp"

namespace zolehead::python {

namespace {

struct PythonClasses {
    py::object field;
    py::object header;
    py::object header_fields;  // Header's `_fields` slot (a member descriptor)
    py::object read_error;
    py::object form_a;
    py::object form_b;
    std::array<py::object, zolehead::kFieldCount> keywords;
};

// Made once and never freed: destroying Python objects after the interpreter
// has finalised would crash at exit, and a fork copies plain pointers safely.
const PythonClasses* classes = nullptr;

// A Field built the way tuple.__new__ builds a tuple subclass, without the
// Python-level __new__ a NamedTuple has: a scan makes one per value.
py::object MakeField(py::object text, py::object raw, const py::object& form, bool lossy) {
    auto* type = reinterpret_cast<PyTypeObject*>(classes->field.ptr());
    PyObject* field = type->tp_alloc(type, 4);
    if (field == nullptr) throw py::error_already_set();
    PyTuple_SET_ITEM(field, 0, text.release().ptr());
    PyTuple_SET_ITEM(field, 1, raw.release().ptr());
    PyTuple_SET_ITEM(field, 2, form.inc_ref().ptr());
    PyTuple_SET_ITEM(field, 3, py::bool_(lossy).release().ptr());
    return py::reinterpret_steal<py::object>(field);
}

py::object Checked(PyObject* made) {
    if (made == nullptr) throw py::error_already_set();
    return py::reinterpret_steal<py::object>(made);
}

// The str of a decoded value: allocated for its largest character, so that
// it is the str any other way of making it would give, and filled with its
// code units.
py::object MakeText(const DecodedValues::Value& value) {
    py::object text = Checked(PyUnicode_New(static_cast<Py_ssize_t>(value.length), static_cast<Py_UCS4>(value.max_char)));
    std::memcpy(PyUnicode_DATA(text.ptr()), value.units, value.length * PyUnicode_KIND(text.ptr()));
    return text;
}

// A Header holding `fields`, as object.__new__ and the slot's own setter make
// it: Header.__init__ would copy the dict, in Python, once per file.
py::object MakeHeaderOf(py::dict fields) {
    auto* type = reinterpret_cast<PyTypeObject*>(classes->header.ptr());
    py::object header = Checked(type->tp_alloc(type, 0));
    PyObject* slot = classes->header_fields.ptr();
    if (Py_TYPE(slot)->tp_descr_set(slot, header.ptr(), fields.ptr()) != 0) throw py::error_already_set();
    return header;
}

}  // namespace

void LoadPythonClasses() {
    auto* loaded = new PythonClasses;
    const py::module_ header_module = py::module_::import("zolehead._header");
    loaded->field = header_module.attr("Field");
    loaded->header = header_module.attr("Header");
    loaded->header_fields = loaded->header.attr("__dict__")["_fields"];
    if (Py_TYPE(loaded->header_fields.ptr())->tp_descr_set == nullptr) {
        throw py::type_error("zolehead._header.Header must keep its fields in a slot named _fields");
    }
    loaded->read_error = py::module_::import("zolehead._errors").attr("ZoleHeadReadError");
    loaded->form_a = py::str("A");
    loaded->form_b = py::str("B");
    for (std::size_t i = 0; i < loaded->keywords.size(); ++i) {
        const std::string_view keyword = zolehead::kIdentifiers[i].keyword;
        PyObject* name = PyUnicode_FromStringAndSize(keyword.data(), static_cast<Py_ssize_t>(keyword.size()));
        if (name != nullptr) PyUnicode_InternInPlace(&name);
        loaded->keywords[i] = Checked(name);
    }
    classes = loaded;
}

py::object MakeHeader(const zolehead::ZoleHeader& header, std::string_view decoded) {
    py::dict fields;
    DecodedValues values(decoded);
    for (std::size_t i = 0; i < header.slots.size(); ++i) {
        const zolehead::HeaderSlot& slot = header.slots[i];
        if (slot.status == zolehead::STATUS_NONE) continue;
        const DecodedValues::Value value = values.next();
        const std::string_view raw = slot.text();
        py::object field = MakeField(MakeText(value),
                                     Checked(PyBytes_FromStringAndSize(raw.data(), static_cast<Py_ssize_t>(raw.size()))),
                                     slot.status == zolehead::STATUS_FORM_A ? classes->form_a : classes->form_b,
                                     value.lossy);
        if (PyDict_SetItem(fields.ptr(), classes->keywords[i].ptr(), field.ptr()) != 0) throw py::error_already_set();
    }
    return MakeHeaderOf(std::move(fields));
}

py::object MakeReadError(int system_error, std::string_view reason, py::handle filename) {
    if (system_error == 0) return classes->read_error(py::none(), py::str(reason.data(), reason.size()), filename);
    return classes->read_error(system_error, std::generic_category().message(system_error), filename);
}

EncodedPath::EncodedPath(py::handle path) {
    PyObject* converted = nullptr;
    // Raises ValueError for an embedded NUL, so c_str() is the whole path.
    if (PyUnicode_FSConverter(path.ptr(), &converted) == 0) throw py::error_already_set();
    bytes_ = py::reinterpret_steal<py::object>(converted);
}

std::string EncodePath(py::handle path) {
    const EncodedPath encoded(path);
    return encoded.c_str();
}

py::object GivenPath(py::handle path) { return Checked(PyOS_FSPath(path.ptr())); }

void ThrowReadError(int system_error, std::string_view reason, py::handle filename) {
    const py::object error = MakeReadError(system_error, reason, filename);
    PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(error.ptr())), error.ptr());
    throw py::error_already_set();
}

}  // namespace zolehead::python
