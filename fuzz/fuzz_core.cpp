// The core over arbitrary bytes, in all three forms. For each form: the result
// keeps every slot invariant, the fast path of every search kernel this
// processor runs agrees with the plain byte loop, and where the input is cut
// into blocks changes nothing. Across forms: the
// combined read is what the two single-form reads predict.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "header_invariants.hpp"
#include "zolehead.hpp"

namespace {

using zh_fuzz::Require;
using zolehead::HeaderForm;
using zolehead::HeaderScanner;
using zolehead::ZoleHeader;

using zolehead::SearchKernel;

ZoleHeader FeedInTwo(std::span<const std::uint8_t> bytes, std::size_t cut, HeaderForm form, SearchKernel kernel) {
    HeaderScanner scanner(form, kernel);
    scanner.feed(bytes.first(cut));
    scanner.feed(bytes.subspan(cut));
    return scanner.header();
}

ZoleHeader FeedInBlocks(std::span<const std::uint8_t> bytes, std::size_t block, HeaderForm form,
                        SearchKernel kernel) {
    HeaderScanner scanner(form, kernel);
    for (std::size_t at = 0; at < bytes.size(); at += block) {
        const std::size_t n = bytes.size() - at < block ? bytes.size() - at : block;
        if (!scanner.feed(bytes.subspan(at, n))) break;  // end of text: the rest is ignored
    }
    return scanner.header();
}

// Sees every byte once, in order, and checks what the machines report about
// the value they store.
struct CheckingObserver : zolehead::NoObserver {
    static constexpr bool kObserves = true;
    std::uint64_t next = 0;
    void at(std::uint64_t offset, std::uint8_t, zolehead::DbcsState) noexcept {
        Require(offset == next++, "observer offsets skip or repeat a byte");
    }
    void label_line_end(const zolehead::LabelLineEnd& end) noexcept {
        Require(end.value.size() <= zolehead::kValueMaxBytes && end.trimmed >= 0, "form A line end out of bounds");
        Require((end.row < 0) == (end.outcome == zolehead::LabelOutcome::UNKNOWN_LABEL) ||
                    end.outcome == zolehead::LabelOutcome::NO_VALUE,
                "form A outcome disagrees with its row");
    }
    void keyword_end(const zolehead::KeywordEnd& end) noexcept {
        Require(end.value.size() <= zolehead::kValueMaxBytes && end.name.size() <= 19, "form B entry out of bounds");
    }
};

ZoleHeader FeedObserved(std::span<const std::uint8_t> bytes, std::size_t cut, HeaderForm form) {
    HeaderScanner scanner(form);
    CheckingObserver observer;
    scanner.feed_observed(bytes.first(cut), observer);
    scanner.feed_observed(bytes.subspan(cut), observer);
    Require(observer.next == scanner.offset(), "observer saw a different number of bytes than were taken");
    return scanner.header();
}

ZoleHeader CheckForm(std::span<const std::uint8_t> bytes, std::size_t cut, std::size_t block, HeaderForm form) {
    const ZoleHeader reference = zolehead::ReadHeaderReference(bytes, form);
    zh_fuzz::CheckHeader(reference, form);
    Require(zolehead::ReadHeader(bytes, form) == reference, "fast path differs from the byte loop");
    for (const SearchKernel kernel : zolehead::kSearchKernels) {
        if (!zolehead::SearchKernelRuns(kernel)) continue;
        Require(FeedInTwo(bytes, cut, form, kernel) == reference, "a kernel's two pieces differ from the byte loop");
        Require(FeedInBlocks(bytes, block, form, kernel) == reference, "a kernel's small blocks differ from the byte loop");
    }
    Require(FeedObserved(bytes, cut, form) == reference, "observing changed what was read");
    // Everything from the end-of-text byte on is as if it were not there.
    const void* eot = bytes.empty() ? nullptr : std::memchr(bytes.data(), zolehead::kEndOfText, bytes.size());
    if (eot != nullptr) {
        const auto before = static_cast<std::size_t>(static_cast<const std::uint8_t*>(eot) - bytes.data());
        Require(zolehead::ReadHeaderReference(bytes.first(before), form) == reference, "bytes after 0x1A counted");
    }
    return reference;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The cut and block size come from the input's end, the text from the rest.
    FuzzedDataProvider provider(data, size);
    const auto cut_seed = provider.ConsumeIntegral<std::uint16_t>();
    const auto block = provider.ConsumeIntegralInRange<std::size_t>(1, 64);
    const std::vector<std::uint8_t> text = provider.ConsumeRemainingBytes<std::uint8_t>();
    const std::span<const std::uint8_t> bytes(text.data(), text.size());
    const std::size_t cut = text.empty() ? 0 : cut_seed % (text.size() + 1);

    const ZoleHeader a = CheckForm(bytes, cut, block, HeaderForm::A);
    const ZoleHeader b = CheckForm(bytes, cut, block, HeaderForm::B);
    const ZoleHeader both = CheckForm(bytes, cut, block, HeaderForm::BOTH);
    zh_fuzz::CheckCombined(both, a, b);
    return 0;
}
