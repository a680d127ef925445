// Base64 carries paths and raw values that are not UTF-8 through JSON, out
// of the tool and back into `apply`: a round trip must give the same bytes.
#include "base64.hpp"

#include <gtest/gtest.h>

#include <string>

namespace {

using zolehead::collection::AppendBase64;
using zolehead::collection::DecodeBase64;

TEST(Base64, RoundTripsEveryLengthAndByte) {
    std::string bytes;
    for (int i = 0; i < 300; ++i) {
        bytes.push_back(static_cast<char>((i * 151 + 7) & 0xFF));
        std::string text;
        AppendBase64(text, bytes);
        EXPECT_EQ(text.size() % 4, 0u);
        std::string back;
        ASSERT_TRUE(DecodeBase64(text, back)) << text;
        EXPECT_EQ(back, bytes) << "length " << bytes.size();
    }
}

TEST(Base64, DecodesKnownTextAndRefusesWhatIsNotBase64) {
    struct Case {
        const char* label;
        const char* text;
        bool ok;
        std::string bytes;
    };
    const Case cases[] = {
        {"empty", "", true, ""},
        {"Shift_JIS title, padded", "i8iWvA==", true, "\x8b\xc8\x96\xbc"},
        {"padding left out", "i8iWvA", true, "\x8b\xc8\x96\xbc"},
        {"three bytes, no padding needed", "TWFu", true, "Man"},
        {"a character outside the alphabet", "TW-u", false, ""},
        {"data after padding", "TQ==TWFu", false, ""},
        {"a lone sixth of a byte", "TWFuT", false, ""},
        {"three padding characters", "TQ===", false, ""},
    };
    for (const Case& c : cases) {
        std::string out = "left over";
        EXPECT_EQ(DecodeBase64(c.text, out), c.ok) << c.label;
        if (c.ok) {
            EXPECT_EQ(out, c.bytes) << c.label;
        }
    }
}

}  // namespace
