#include "header_scanner.hpp"

#include <cstring>

namespace zolehead {

// The byte loop: every byte goes through the tracker, then through each
// machine of the chosen form.
template <HeaderForm F>
void HeaderScanner::scan(const std::uint8_t* p, const std::uint8_t* end) noexcept {
    for (; p != end; ++p) {
        const std::uint8_t b = *p;
        const DbcsState dbcs = tracker_.step(b);
        if constexpr (F != HeaderForm::B) label_.step(b, dbcs, header_);
        if constexpr (F != HeaderForm::A) keyword_.step(b, dbcs, header_);
    }
}

bool HeaderScanner::feed_reference(std::span<const std::uint8_t> bytes) noexcept {
    if (ended_ || bytes.empty()) return !ended_;
    const std::uint8_t* begin = bytes.data();
    const std::uint8_t* end = begin + bytes.size();
    if (const void* eot = std::memchr(begin, kEndOfText, bytes.size())) {
        end = static_cast<const std::uint8_t*>(eot);
        ended_ = true;
    }
    switch (form_) {
    case HeaderForm::A: scan<HeaderForm::A>(begin, end); break;
    case HeaderForm::B: scan<HeaderForm::B>(begin, end); break;
    case HeaderForm::BOTH: scan<HeaderForm::BOTH>(begin, end); break;
    }
    return !ended_;
}

bool HeaderScanner::feed(std::span<const std::uint8_t> bytes) noexcept {
    // No fast path yet: every byte goes through the reference loop.
    return feed_reference(bytes);
}

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
