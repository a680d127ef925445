#include "edit_function.hpp"

#include <string>
#include <tuple>
#include <vector>

#include <pybind11/stl.h>

#include "editor.hpp"
#include "field_names.hpp"
#include "identifier_table.hpp"
#include "python_objects.hpp"

namespace zolehead::python {

namespace {

using zolehead::edit::EditAction;
using zolehead::edit::EditResult;
using zolehead::edit::FieldChangeRequest;
using zolehead::edit::FieldReport;

// (name, remove, value bytes, value is code page 932) for each field.
using Request = std::tuple<std::string, bool, py::bytes, bool>;

zolehead::edit::InsertForm InsertFormFromCode(int code) {
    switch (code) {
    case 0: return zolehead::edit::InsertForm::AUTO;
    case 1: return zolehead::edit::InsertForm::A;
    case 2: return zolehead::edit::InsertForm::B;
    default: throw py::value_error("insert form code must be 0 (auto), 1 (A) or 2 (B)");
    }
}

py::object Side(HeaderStatus status, const std::string& bytes, const std::string& text, bool lossy) {
    if (status == zolehead::STATUS_NONE) return py::none();
    return py::make_tuple(py::str(text), py::bytes(bytes), py::str(status == zolehead::STATUS_FORM_A ? "A" : "B"),
                          lossy);
}

py::dict ResultObject(const EditResult& result) {
    py::list fields;
    for (const FieldReport& f : result.fields) {
        const std::string_view keyword = zolehead::kIdentifiers[static_cast<std::size_t>(f.row)].keyword;
        fields.append(py::make_tuple(py::str(keyword.data(), keyword.size()),
                                     py::str(f.action == EditAction::SET ? "set" : "remove"), f.changed,
                                     Side(f.old_status, f.old_bytes, f.old_text, f.old_lossy),
                                     Side(f.new_status, f.new_bytes, f.new_text, f.new_lossy)));
    }
    py::list lines;
    for (const auto& line : result.lines) {
        lines.append(py::make_tuple(line.line, py::str(line.before), py::str(line.after)));
    }
    py::dict out;
    const std::string_view status = zolehead::edit::StatusName(result.status);
    const std::string_view problem = zolehead::edit::ProblemName(result.problem);
    out["status"] = py::str(status.data(), status.size());
    out["problem"] = py::str(problem.data(), problem.size());
    out["check"] = result.check;
    out["errno"] = result.system_error;
    out["reason"] = py::str(result.reason);
    out["fields"] = std::move(fields);
    out["lines"] = std::move(lines);
    out["backup_path"] = py::bytes(result.backup_path);
    out["warning"] = py::str(result.warning);
    return out;
}

py::dict Edit(py::handle path, const std::vector<Request>& requests, int form_code, bool dry_run, bool backup) {
    const std::string file = EncodePath(path);

    zolehead::edit::Editor editor;
    std::vector<FieldChangeRequest> changes;
    std::vector<bool> named(zolehead::kFieldCount, false);
    for (const auto& [name, remove, value, is_cp932] : requests) {
        const int row = zolehead::edit::FieldRow(name, editor.encoder());
        if (row < 0) throw py::value_error("no field is named " + py::repr(py::str(name)).cast<std::string>());
        if (named[static_cast<std::size_t>(row)]) {
            throw py::value_error(std::string(zolehead::kIdentifiers[static_cast<std::size_t>(row)].keyword) +
                                  " is named more than once");
        }
        named[static_cast<std::size_t>(row)] = true;
        changes.push_back({row, remove ? EditAction::REMOVE : EditAction::SET, std::string(value), is_cp932});
    }
    zolehead::edit::EditOptions options;
    options.form = InsertFormFromCode(form_code);
    options.dry_run = dry_run;
    options.backup = backup;

    EditResult result;
    {
        py::gil_scoped_release release;
        result = editor.edit_file(file, changes, options);
    }
    return ResultObject(result);
}

}  // namespace

void DefineEditFunction(py::module_& module) {
    module.def("edit", &Edit, py::arg("path"), py::arg("requests"), py::arg("form"), py::arg("dry_run"),
               py::arg("backup"),
               "edit(path, [(name, remove, value, value_is_cp932), ...], form_code, dry_run, backup) -> dict: "
               "the editor's result as plain values.");
}

}  // namespace zolehead::python
