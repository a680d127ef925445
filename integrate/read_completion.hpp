// When a read loop over a regular file may stop without asking the system
// once more only to hear that the file has ended.
#pragma once

#include <cstdint>

namespace zolehead {

// True when the last read returned fewer bytes than asked (`got` < `asked`)
// and all the bytes read so far (`total`) are as many as the file's size
// said before the first read (`size_before`): the file ended there, as the
// read that would follow would say. A file that grew meanwhile (more read
// than its size said), shrank (fewer), or tells no size (/proc files report
// 0) is read on until a read returns nothing, so a file is always read to
// where its writer had got when it was read.
constexpr bool ReachedKnownEnd(std::uint64_t got, std::uint64_t asked, std::uint64_t total,
                               std::uint64_t size_before) noexcept {
    return got < asked && total == size_before;
}

}  // namespace zolehead
