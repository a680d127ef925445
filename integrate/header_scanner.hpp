// Drives the tracker and the machines of one read over the bytes of a file,
// in order, fed in blocks of any size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "header_observer.hpp"
#include "scan_loops.hpp"
#include "search_kernel.hpp"
#include "zole_header.hpp"

namespace zolehead {

// Which header forms a read recognises.
enum class HeaderForm : std::uint8_t {
    A,     // label lines only; a repeated label overwrites
    B,     // starred keywords only
    BOTH,  // one pass over both; form B wins, a repeated form A label empties its slot
};

// The end-of-text byte: input ends there, as it does for text-mode readers on
// Windows, on every platform alike.
inline constexpr std::uint8_t kEndOfText = byte_search::kEndOfText;

class HeaderScanner {
public:
    // Reads with the fast loop of `kernel`; one that does not run here gives
    // way to the best that does (BestSearchKernel).
    explicit HeaderScanner(HeaderForm form, SearchKernel kernel = BestSearchKernel()) noexcept
        : form_(form),
          kernel_(SearchKernelRuns(kernel) ? kernel : BestSearchKernel()),
          state_(form == HeaderForm::BOTH ? LabelCommit::DEFER_TO_FORM_B : LabelCommit::LAST_WINS) {}

    // Feeds the next bytes of the input. Where the blocks are cut changes
    // nothing. Returns false once the end-of-text byte has been seen: the
    // rest of the input is ignored, so the caller can stop reading.
    //
    // Skips runs of bytes that provably change no machine, takes values in
    // bulk, and steps the rest through the same byte step as
    // feed_reference, so both give the same header for any input cut into
    // any blocks (fast_loop.inl).
    bool feed(std::span<const std::uint8_t> bytes) noexcept;

    // As feed, through the plain byte loop only: the reference that any
    // faster path must agree with.
    bool feed_reference(std::span<const std::uint8_t> bytes) noexcept;

    // As feed_reference, and tells `observer` about every byte and all the
    // machines do with it (header_observer.hpp). For explaining a header,
    // not for reading one fast. Do not mix with feed on one scanner.
    template <class Observer>
    bool feed_observed(std::span<const std::uint8_t> bytes, Observer& observer) noexcept;

    // Bytes taken so far, not counting any from the end-of-text byte on.
    std::uint64_t offset() const noexcept { return offset_; }
    bool ended() const noexcept { return ended_; }
    HeaderForm form() const noexcept { return form_; }
    SearchKernel kernel() const noexcept { return kernel_; }
    const ZoleHeader& header() const noexcept { return state_.header; }

private:
    template <HeaderForm F>
    void scan(const std::uint8_t* p, const std::uint8_t* end) noexcept;
    template <bool Fast>
    bool feed_text(std::span<const std::uint8_t> bytes) noexcept;

    // Cuts a block at the end-of-text byte, if it holds one.
    std::span<const std::uint8_t> take_text(std::span<const std::uint8_t> bytes) noexcept;

    HeaderForm form_;
    bool ended_ = false;
    std::uint64_t offset_ = 0;
    SearchKernel kernel_;
    ScanState state_;
};

template <class Observer>
bool HeaderScanner::feed_observed(std::span<const std::uint8_t> bytes, Observer& observer) noexcept {
    const std::span<const std::uint8_t> text = take_text(bytes);
    std::uint64_t offset = offset_ - text.size();
    for (const std::uint8_t b : text) {
        const DbcsState dbcs = state_.tracker.step(b);
        observer.at(offset++, b, dbcs);
        if (form_ != HeaderForm::B) state_.label.step(b, dbcs, state_.header, observer);
        if (form_ != HeaderForm::A) state_.keyword.step(b, dbcs, state_.header, observer);
    }
    return !ended_;
}

// Reads a whole input held in memory.
ZoleHeader ReadHeader(std::span<const std::uint8_t> bytes, HeaderForm form) noexcept;

// The same through the plain byte loop only (HeaderScanner::feed_reference).
ZoleHeader ReadHeaderReference(std::span<const std::uint8_t> bytes, HeaderForm form) noexcept;

}  // namespace zolehead
