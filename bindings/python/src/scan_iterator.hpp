// scan(): a collection walked by the tool's FileWalker and read on C++
// threads by its CollectionReader, handed to Python one record at a time in
// walk order (a file, or with archives an entry of one). The reading threads
// never touch a Python object: they leave each header decoded in its record,
// and the iterator makes the objects.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <pybind11/pybind11.h>

#include "collection_reader.hpp"
#include "field_text.hpp"
#include "zolehead.hpp"

namespace zolehead::python {

namespace py = pybind11;

class ScanIterator {
public:
    // `roots` as the walker takes them (bytes); `extensions` as given
    // ("ZOLE", ".zole"), normalised here; `jobs` 0 for one per processor.
    // `archives`: entries inside archives are read like files, each entry
    // stopped past `max_entry_size` bytes.
    ScanIterator(std::vector<std::string> roots, bool recursive, std::vector<std::string> extensions, unsigned jobs,
                 int form_code, bool bytes_paths, bool archives, std::uint64_t max_entry_size);
    ~ScanIterator();
    ScanIterator(const ScanIterator&) = delete;
    ScanIterator& operator=(const ScanIterator&) = delete;

    // (path, Header or ZoleHeadReadError); StopIteration at the end. The
    // reading threads start on the first call.
    py::object next();
    // Stops the reading threads; the iterator is then exhausted.
    void close();
    // (path, reason) for every entry the walk passed over so far.
    const py::list& skipped() const noexcept { return skipped_; }

private:
    void start();
    void stop();
    bool forked() const noexcept;
    py::object path_object(const std::string& path) const;

    std::vector<std::string> roots_;
    bool recursive_;
    std::vector<std::string> extensions_;
    unsigned threads_;
    zolehead::HeaderForm form_;
    bool bytes_paths_;
    bool archives_;
    std::uint64_t max_entry_size_;

    pid_t owner_ = 0;      // the process that started the reading threads
    bool busy_ = false;    // a call to next() is under way (it releases the GIL)
    bool finished_ = false;
    std::vector<std::unique_ptr<zolehead::collection::FieldText>> texts_;  // one per reading thread
    std::vector<std::pair<std::string, std::string>> notices_;           // walked over since the last next()
    std::unique_ptr<zolehead::collection::CollectionReader> reader_;
    py::list skipped_;
};

void DefineScan(py::module_& module);

}  // namespace zolehead::python
