#include "header_scanner.hpp"

#include <cstring>

namespace zolehead {

// The reference: every byte, in order, through the tracker and then through
// each machine of the form.
template <HeaderForm F>
void HeaderScanner::scan(const std::uint8_t* p, const std::uint8_t* end) noexcept {
    for (; p != end; ++p) {
        const std::uint8_t b = *p;
        const DbcsState dbcs = state_.tracker.step(b);
        if constexpr (F != HeaderForm::B) state_.label.step(b, dbcs, state_.header);
        if constexpr (F != HeaderForm::A) state_.keyword.step(b, dbcs, state_.header);
    }
}

// Cuts the block at the end-of-text byte, then runs the chosen loop over
// what comes before it.
template <bool Fast>
bool HeaderScanner::feed_text(std::span<const std::uint8_t> bytes) noexcept {
    if (ended_ || bytes.empty()) return !ended_;
    const std::uint8_t* begin = bytes.data();
    const std::uint8_t* end = begin + bytes.size();
    if (const void* eot = std::memchr(begin, kEndOfText, bytes.size())) {
        end = static_cast<const std::uint8_t*>(eot);
        ended_ = true;
    }
    if constexpr (Fast) {
        const ScanLoops& loops = ScanLoopsFor(kernel_);
        switch (form_) {
        case HeaderForm::A: loops.form_a(state_, begin, end); break;
        case HeaderForm::B: loops.form_b(state_, begin, end); break;
        case HeaderForm::BOTH: loops.both(state_, begin, end); break;
        }
    } else {
        switch (form_) {
        case HeaderForm::A: scan<HeaderForm::A>(begin, end); break;
        case HeaderForm::B: scan<HeaderForm::B>(begin, end); break;
        case HeaderForm::BOTH: scan<HeaderForm::BOTH>(begin, end); break;
        }
    }
    return !ended_;
}

bool HeaderScanner::feed_reference(std::span<const std::uint8_t> bytes) noexcept { return feed_text<false>(bytes); }

bool HeaderScanner::feed(std::span<const std::uint8_t> bytes) noexcept { return feed_text<true>(bytes); }

ZoleHeader ReadHeaderReference(std::span<const std::uint8_t> bytes, HeaderForm form) noexcept {
    HeaderScanner scanner(form);
    scanner.feed_reference(bytes);
    return scanner.header();
}

ZoleHeader ReadHeader(std::span<const std::uint8_t> bytes, HeaderForm form) noexcept {
    HeaderScanner scanner(form);
    scanner.feed(bytes);
    return scanner.header();
}

}  // namespace zolehead
