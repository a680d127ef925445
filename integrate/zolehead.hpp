// The reentrant C++ core of ZoleHead.
//
// Everything here works on values the caller owns: no global state, no heap
// allocation, no exceptions. Any number of threads may read at once.
//
//   zolehead::ZoleHeader header;
//   zolehead::ReadResult r = zolehead::ReadHeaderFile(path, zolehead::HeaderForm::BOTH, header);
//   if (r) std::cout << header.slots[0].text();   // the title, Shift_JIS bytes
#pragma once

#include <cstdint>

#include "header_scanner.hpp"
#include "identifier_table.hpp"
#include "zole_header.hpp"

namespace zolehead {

enum class ReadStatus : std::uint8_t {
    OK = 0,
    CANNOT_OPEN,       // no such file, no permission, bad path
    NOT_REGULAR_FILE,  // directory, FIFO, device, socket: never read
    READ_ERROR,        // the system failed part-way through
};

struct ReadResult {
    ReadStatus status = ReadStatus::OK;
    int system_error = 0;  // errno, or GetLastError() on Windows; 0 if none applies

    explicit operator bool() const noexcept { return status == ReadStatus::OK; }
};

// Reads the file at `path` (bytes handed to the system unchanged) in large
// blocks and fills `out`. On any failure `out` is left with every slot empty.
// A null path is reported as CANNOT_OPEN.
ReadResult ReadHeaderFile(const char* path, HeaderForm form, ZoleHeader& out) noexcept;

// A short English phrase for a status, for messages.
const char* DescribeReadStatus(ReadStatus status) noexcept;

}  // namespace zolehead
