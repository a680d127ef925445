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

// Runs the chosen loop over the block up to its end-of-text byte: the fast
// loops find it on their way, the plain one is given the block cut there.
template <bool Fast>
bool HeaderScanner::feed_text(std::span<const std::uint8_t> bytes) noexcept {
    if (ended_ || bytes.empty()) return !ended_;
    const std::uint8_t* begin = bytes.data();
    const std::uint8_t* end = begin + bytes.size();
    if constexpr (Fast) {
        const ScanLoops& loops = ScanLoopsFor(kernel_);
        const ScanLoop loop = form_ == HeaderForm::A ? loops.form_a : form_ == HeaderForm::B ? loops.form_b : loops.both;
        const std::uint8_t* const stop = loop(state_, begin, end);
        ended_ = stop != end;
        offset_ += static_cast<std::uint64_t>(stop - begin);
    } else {
        const std::span<const std::uint8_t> text = take_text(bytes);
        begin = text.data();
        end = begin + text.size();
        switch (form_) {
        case HeaderForm::A: scan<HeaderForm::A>(begin, end); break;
        case HeaderForm::B: scan<HeaderForm::B>(begin, end); break;
        case HeaderForm::BOTH: scan<HeaderForm::BOTH>(begin, end); break;
        }
    }
    return !ended_;
}

std::span<const std::uint8_t> HeaderScanner::take_text(std::span<const std::uint8_t> bytes) noexcept {
    if (ended_ || bytes.empty()) return {};
    if (const void* eot = std::memchr(bytes.data(), kEndOfText, bytes.size())) {
        bytes = bytes.first(static_cast<std::size_t>(static_cast<const std::uint8_t*>(eot) - bytes.data()));
        ended_ = true;
    }
    offset_ += bytes.size();
    return bytes;
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
