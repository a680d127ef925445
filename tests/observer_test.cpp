// What the machines report to an observer: the events, the offsets they come
// at, and that observing never changes what is read.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "test_support.hpp"

namespace {

using namespace zh_test;
using zolehead::HeaderForm;
using zolehead::HeaderScanner;
using zolehead::LabelOutcome;

// Writes each event as "OFFSET:name[:detail]".
struct RecordingObserver {
    static constexpr bool kObserves = true;
    std::vector<std::string> events;
    std::uint64_t offset = 0;

    void at(std::uint64_t o, std::uint8_t, zolehead::DbcsState) noexcept { offset = o; }
    void note(const std::string& what) { events.push_back(std::to_string(offset) + ":" + what); }

    void label_colon() noexcept { note("colon"); }
    void label_value_start(int back) noexcept { note("value_start-" + std::to_string(back)); }
    void label_control_dropped() noexcept { note("control"); }
    void label_value_full() noexcept { note("full"); }
    void label_line_end(const zolehead::LabelLineEnd& e) noexcept {
        static const char* const kOutcomes[] = {"unknown", "stored", "emptied", "left_to_b", "no_value"};
        note("line_end:" + std::to_string(e.row) + ":" + kOutcomes[static_cast<int>(e.outcome)] + ":" +
             std::string(e.value) + ":" + std::to_string(e.trimmed));
    }
    void keyword_star() noexcept { note("star"); }
    void keyword_quote_open() noexcept { note("open"); }
    void keyword_control_dropped() noexcept { note("kcontrol"); }
    void keyword_value_full() noexcept { note("kfull"); }
    void keyword_end(const zolehead::KeywordEnd& e) noexcept {
        note("end:" + std::to_string(e.row) + ":" + std::string(e.name) + ":" + std::string(e.value));
    }
};

std::vector<std::string> Observe(const std::string& input, HeaderForm form, std::size_t block = 0) {
    HeaderScanner scanner(form);
    RecordingObserver observer;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(input.data());
    if (block == 0) block = input.size() + 1;
    for (std::size_t at = 0; at < input.size(); at += block) {
        scanner.feed_observed({bytes + at, std::min(block, input.size() - at)}, observer);
    }
    return observer.events;
}

const std::string T = kTitleLabel + kColon;  // 曲名： (6 bytes; the colon's trail byte at 5)

struct EventCase {
    const char* what;
    std::string input;
    HeaderForm form;
    std::vector<std::string> events;
};

TEST(Observer, ReportsWhatTheMachinesDo) {
    const EventCase cases[] = {
        {"a stored line", T + "Sakura\n", HeaderForm::A,
         {"5:colon", "6:value_start-0", "12:line_end:0:stored:Sakura:0"}},
        {"a value that starts with a double-byte character starts at its lead byte", T + kHiraA + "\n",
         HeaderForm::A, {"5:colon", "7:value_start-1", "8:line_end:0:stored:" + kHiraA + ":0"}},
        {"trailing spaces are counted as trimmed", T + "x  \n", HeaderForm::A,
         {"5:colon", "6:value_start-0", "9:line_end:0:stored:x:2"}},
        {"a line with no value", T + "\n", HeaderForm::A, {"5:colon", "6:line_end:0:no_value::0"}},
        {"an unknown label", kHiraA + kColon + "x\n", HeaderForm::A,
         {"3:colon", "4:value_start-0", "5:line_end:-1:unknown:x:0"}},
        {"a control byte in a value", T + "a\tb\n", HeaderForm::A,
         {"5:colon", "6:value_start-0", "7:control", "9:line_end:0:stored:ab:0"}},
        {"a repeated label in the combined reader", T + "A\n" + T + "B\n", HeaderForm::BOTH,
         {"5:colon", "6:value_start-0", "7:line_end:0:stored:A:0", "13:colon", "14:value_start-0",
          "15:line_end:0:emptied:B:0"}},
        {"the same lines in the form A reader: the last wins", T + "A\n" + T + "B\n", HeaderForm::A,
         {"5:colon", "6:value_start-0", "7:line_end:0:stored:A:0", "13:colon", "14:value_start-0",
          "15:line_end:0:stored:B:0"}},
        {"form B wins over a later form A line", "*Title 'X'\n" + T + "A\n", HeaderForm::BOTH,
         {"0:star", "7:open", "9:end:0:Title:X", "16:colon", "17:value_start-0", "18:line_end:0:left_to_b:A:0"}},
        {"a second asterisk starts the name afresh", "*Tit*Genre 'x'", HeaderForm::B,
         {"0:star", "4:star", "11:open", "13:end:1:Genre:x"}},
        {"an unknown keyword", "*Foo 'x'", HeaderForm::B, {"0:star", "5:open", "7:end:-1:Foo:x"}},
        {"line breaks inside a value", "*Title 'a\r\nb'", HeaderForm::B,
         {"0:star", "7:open", "9:kcontrol", "10:kcontrol", "12:end:0:Title:ab"}},
        {"nothing past the end-of-text byte", "*Title 'a'\x1A*Genre 'b'", HeaderForm::B,
         {"0:star", "7:open", "9:end:0:Title:a"}},
    };
    for (const EventCase& c : cases) {
        EXPECT_EQ(Observe(c.input, c.form), c.events) << c.what;
        EXPECT_EQ(Observe(c.input, c.form, 1), c.events) << c.what << " (fed a byte at a time)";
    }
}

TEST(Observer, CountsEveryByteDroppedAtTheLimit) {
    // 126 letters, then a double-byte character (2 bytes dropped) and 3 more letters.
    const std::string value = std::string(126, 'v') + kHiraA + "xyz";
    const std::vector<std::string> a = Observe(T + value + "\n", HeaderForm::A);
    EXPECT_EQ(std::count_if(a.begin(), a.end(), [](const std::string& e) { return e.ends_with(":full"); }), 5);
    const std::vector<std::string> b = Observe("*Title '" + value + "'", HeaderForm::B);
    EXPECT_EQ(std::count_if(b.begin(), b.end(), [](const std::string& e) { return e.ends_with(":kfull"); }), 5);
}

// Observing steps every byte through the plain loop: the header must be what
// the readers give, in every form, however the input is cut.
TEST(Observer, ObservingChangesNothingThatIsRead) {
    std::mt19937 random(20261210);
    const std::string pieces[] = {T, kGenreLabel + kColon, "*Title '", "*Genre \"", "'", "\"", "*", "\n", "\r",
                                  " ", "x", kHiraA, kWideSpace, kMe, "@", "\x81", "\t", std::string(40, 'w'),
                                  "\x1A"};
    for (int round = 0; round < 2000; ++round) {
        std::string input;
        const int count = static_cast<int>(random() % 40);
        for (int i = 0; i < count; ++i) input += pieces[random() % std::size(pieces)];
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(input.data());
        for (HeaderForm form : {HeaderForm::A, HeaderForm::B, HeaderForm::BOTH}) {
            HeaderScanner observed(form);
            RecordingObserver observer;
            const std::size_t cut = input.empty() ? 0 : random() % input.size();
            observed.feed_observed({bytes, cut}, observer);
            observed.feed_observed({bytes + cut, input.size() - cut}, observer);
            ASSERT_EQ(observed.header(), zolehead::ReadHeaderReference({bytes, input.size()}, form))
                << "round " << round;
        }
    }
}

}  // namespace
