#include "explain_functions.hpp"

#include <string>
#include <vector>

#include <pybind11/stl.h>

#include "file_explainer.hpp"
#include "python_objects.hpp"

namespace zolehead::python {

namespace {

using zolehead::explain::FileExplainer;

// The record's JSON text, made with the GIL released; a file that cannot be
// read raises ZoleHeadReadError instead of giving the tool's error record.
template <typename Work>
py::str RunExplainer(py::handle path, Work&& work) {
    const std::string file = EncodePath(path);

    std::string text;
    std::string error;
    int system_error = 0;
    {
        py::gil_scoped_release release;
        FileExplainer explainer;
        if (!work(explainer, file, text, error)) system_error = explainer.system_error();
    }
    if (!error.empty()) ThrowReadError(system_error, error, GivenPath(path));
    return py::str(text);
}

py::str Explain(py::handle path) {
    return RunExplainer(path, [](FileExplainer& explainer, const std::string& file, std::string& text,
                                 std::string& error) {
        zolehead::explain::Story story;
        if (!explainer.explain({file, {}}, story, error)) return false;
        text = zolehead::explain::DumpJson(zolehead::explain::StoryJson(file, story, explainer.decoder()));
        return true;
    });
}

py::str Lint(py::handle path, const std::vector<std::string>& ignore) {
    for (const std::string& code : ignore) {
        if (!zolehead::explain::IsLintCode(code)) throw py::value_error("no warning has the code " + code);
    }
    return RunExplainer(path, [&ignore](FileExplainer& explainer, const std::string& file, std::string& text,
                                        std::string& error) {
        std::vector<zolehead::explain::Warning> warnings;
        if (!explainer.lint({file, {}}, ignore, warnings, error)) return false;
        text = zolehead::explain::DumpJson(zolehead::explain::WarningsJson(file, warnings));
        return true;
    });
}

py::list LintCodes() {
    py::list codes;
    for (const auto& c : zolehead::explain::kLintCodes) {
        codes.append(
            py::make_tuple(py::str(c.code.data(), c.code.size()), py::str(c.summary.data(), c.summary.size())));
    }
    return codes;
}

}  // namespace

void DefineExplainFunctions(py::module_& module) {
    module.def("explain", &Explain, py::arg("path"),
               "explain(path) -> str: the tool's explain --json record of one file, as JSON text.");
    module.def("lint", &Lint, py::arg("path"), py::arg("ignore"),
               "lint(path, ignore) -> str: the tool's lint --json record of one file, as JSON text.");
    module.def("lint_codes", &LintCodes, "[(code, summary), ...]: every lint warning code.");
}

}  // namespace zolehead::python
