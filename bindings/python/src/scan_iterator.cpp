#include "scan_iterator.hpp"

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <thread>

#include <pybind11/stl.h>

#include "decoded_values.hpp"
#include "file_walker.hpp"
#include "python_objects.hpp"
#include "read_settings.hpp"
#include "read_functions.hpp"

namespace zolehead::python {

namespace {

using zolehead::collection::CollectionReader;
using zolehead::collection::FieldText;
using zolehead::collection::FileWalker;
using zolehead::collection::ReadRecord;
using zolehead::collection::ReadSettings;

constexpr unsigned kMaxThreads = 256;

unsigned ThreadsFor(unsigned jobs) {
    if (jobs != 0) return std::min(jobs, kMaxThreads);
    return std::clamp(std::thread::hardware_concurrency(), 1U, kMaxThreads);
}

}  // namespace

ScanIterator::ScanIterator(std::vector<std::string> roots, bool recursive, std::vector<std::string> extensions,
                           unsigned jobs, int form_code, bool bytes_paths, bool archives,
                           std::uint64_t max_entry_size)
    : roots_(std::move(roots)),
      recursive_(recursive),
      threads_(ThreadsFor(jobs)),
      form_(FormFromCode(form_code)),
      bytes_paths_(bytes_paths),
      archives_(archives),
      max_entry_size_(max_entry_size) {
    for (std::string& ext : extensions) {
        std::string normal = zolehead::collection::NormalizeExtension(std::move(ext));
        if (!normal.empty()) extensions_.push_back(std::move(normal));
    }
}

ScanIterator::~ScanIterator() {
    if (forked()) {
        // The reading threads, their locks and decoders belong to the parent:
        // joining or closing them here would hang or crash. Left as they are.
        (void)reader_.release();
        for (auto& text : texts_) (void)text.release();
        return;
    }
    // With the GIL held: the readers never take it, so they finish and join.
    reader_.reset();
}

bool ScanIterator::forked() const noexcept { return reader_ != nullptr && owner_ != getpid(); }

void ScanIterator::start() {
    texts_.clear();
    for (unsigned i = 0; i < threads_; ++i) texts_.push_back(std::make_unique<FieldText>(false));
    FileWalker walker(
        roots_, recursive_, extensions_,
        [this](const std::string& path, std::string_view reason) { notices_.emplace_back(path, reason); }, archives_);
    ReadSettings settings;
    settings.form = form_;
    settings.archives = archives_;
    settings.max_entry_size = max_entry_size_;
    settings.extensions = extensions_;
    owner_ = getpid();
    reader_ = std::make_unique<CollectionReader>(std::move(walker), threads_, std::move(settings),
                                                 [this](ReadRecord& record, unsigned thread) {
                                                     record.output.clear();
                                                     if (record.error.empty()) {
                                                         AppendDecodedValues(record.header, texts_[thread].get(),
                                                                             record.output);
                                                     }
                                                 });
}

void ScanIterator::stop() {
    finished_ = true;
    if (reader_ == nullptr) return;
    py::gil_scoped_release release;
    reader_.reset();
}

py::object ScanIterator::path_object(const std::string& path) const {
    PyObject* made = bytes_paths_
                         ? PyBytes_FromStringAndSize(path.data(), static_cast<Py_ssize_t>(path.size()))
                         : PyUnicode_DecodeFSDefaultAndSize(path.data(), static_cast<Py_ssize_t>(path.size()));
    if (made == nullptr) throw py::error_already_set();
    return py::reinterpret_steal<py::object>(made);
}

py::object ScanIterator::next() {
    if (busy_) throw std::runtime_error("scan iterator already running in another thread");
    if (forked()) {
        throw std::runtime_error(
            "a scan started before a fork cannot go on in the child process; start a new scan there");
    }
    if (finished_) throw py::stop_iteration();
    busy_ = true;
    struct Idle {
        bool& busy;
        ~Idle() { busy = false; }
    } idle{busy_};

    const ReadRecord* record = nullptr;
    {
        py::gil_scoped_release release;
        if (reader_ == nullptr) start();
        record = reader_->next();
    }
    for (const auto& [path, reason] : notices_) skipped_.append(py::make_tuple(path_object(path), py::str(reason)));
    notices_.clear();
    if (record == nullptr) {
        stop();
        throw py::stop_iteration();
    }
    // Bytes paths carry an entry's name as the archive stores it; str paths
    // its UTF-8 text, as the tool shows it.
    py::object path = path_object(bytes_paths_ ? zolehead::collection::RawPath(*record) : record->path);
    py::object result = record->error.empty() ? MakeHeader(record->header, record->output)
                                              : MakeReadError(record->system_error, record->error, path);
    return py::make_tuple(std::move(path), std::move(result));
}

void ScanIterator::close() {
    if (busy_) throw std::runtime_error("scan iterator is running in another thread");
    if (forked()) {
        finished_ = true;  // the destructor leaves the parent's threads alone
        return;
    }
    stop();
}

void DefineScan(py::module_& module) {
    module.attr("DEFAULT_MAX_ENTRY_SIZE") = zolehead::collection::kDefaultMaxEntrySize;
    py::class_<ScanIterator>(module, "Scan",
                             "Iterator of (path, Header or ZoleHeadReadError) in walk order; made by scan().")
        .def(py::init<std::vector<std::string>, bool, std::vector<std::string>, unsigned, int, bool, bool,
                      std::uint64_t>(),
             py::arg("roots"), py::arg("recursive"), py::arg("extensions"), py::arg("jobs"), py::arg("form"),
             py::arg("bytes_paths"), py::arg("archives"), py::arg("max_entry_size"))
        .def("__iter__", [](py::object self) { return self; })
        .def("__next__", &ScanIterator::next)
        .def("close", &ScanIterator::close, "Stop reading; the iterator yields nothing more.")
        .def("__enter__", [](py::object self) { return self; })
        .def("__exit__", [](ScanIterator& self, const py::args&) { self.close(); })
        .def_property_readonly("skipped", &ScanIterator::skipped,
                               "[(path, reason), ...]: entries the walk passed over (broken links, FIFOs, loops).");
}

}  // namespace zolehead::python
