// The core over arbitrary bytes, in all three forms. For each form: the result
// keeps every slot invariant, the fast path agrees with the plain byte loop,
// and where the input is cut into blocks changes nothing. Across forms: the
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

ZoleHeader FeedInTwo(std::span<const std::uint8_t> bytes, std::size_t cut, HeaderForm form) {
    HeaderScanner scanner(form);
    scanner.feed(bytes.first(cut));
    scanner.feed(bytes.subspan(cut));
    return scanner.header();
}

ZoleHeader FeedInBlocks(std::span<const std::uint8_t> bytes, std::size_t block, HeaderForm form) {
    HeaderScanner scanner(form);
    for (std::size_t at = 0; at < bytes.size(); at += block) {
        const std::size_t n = bytes.size() - at < block ? bytes.size() - at : block;
        if (!scanner.feed(bytes.subspan(at, n))) break;  // end of text: the rest is ignored
    }
    return scanner.header();
}

ZoleHeader CheckForm(std::span<const std::uint8_t> bytes, std::size_t cut, std::size_t block, HeaderForm form) {
    const ZoleHeader reference = zolehead::ReadHeaderReference(bytes, form);
    zh_fuzz::CheckHeader(reference, form);
    Require(zolehead::ReadHeader(bytes, form) == reference, "fast path differs from the byte loop");
    Require(FeedInTwo(bytes, cut, form) == reference, "two pieces differ from the whole");
    Require(FeedInBlocks(bytes, block, form) == reference, "small blocks differ from the whole");
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
