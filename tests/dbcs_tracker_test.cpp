#include "dbcs_tracker.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using zolehead::DbcsState;
using zolehead::DbcsTracker;
constexpr DbcsState S = DbcsState::DBCS_SINGLE;
constexpr DbcsState L = DbcsState::DBCS_LEAD;
constexpr DbcsState T = DbcsState::DBCS_TRAIL;

struct TrackerCase {
    const char* what;
    std::string bytes;
    std::vector<DbcsState> states;
};

TEST(DbcsTracker, ClassifiesSequences) {
    const TrackerCase cases[] = {
        {"full-width colon", "\x81\x46", {L, T}},
        {"full-width space", "\x81\x40", {L, T}},
        {"line feed after a lead byte stays a line feed", "\x81\x0A", {L, S}},
        {"three lead-range bytes pair up from the left", "\x81\x81\x81", {L, T, L}},
        {"DEL is a lead byte, a letter after it a trail byte", "\x7F\x41", {L, T}},
        {"0xFD is a lead byte that no lead byte accepts as a trail", "\xFD\xFD", {L, S}},
        {"DEL cannot be a trail byte", "\xE0\x7F", {L, S}},
        {"0x80 is a lead byte", "\x80\x80", {L, T}},
        {"half-width katakana stand alone", "\xA0\xDF\xB1", {S, S, S}},
        {"half-width katakana range is trail after a lead", "\x81\xA0\x81\xDF", {L, T, L, T}},
        {"0xFC is the last trail byte", "\x81\xFC\x81\xFD", {L, T, L, S}},
        {"quotes, asterisk, CR are never trail bytes", "\x81\x22\x81\x27\x81\x2A\x81\x0D", {L, S, L, S, L, S, L, S}},
        {"ASCII text", "Ab @", {S, S, S, S}},
        {"after a trail byte a new character starts", "\x8B\xC8\x96\xBC", {L, T, L, T}},
        {"0x3F after a lead byte is single", "\x81\x3F", {L, S}},
        {"0x40 is the first trail byte, 0x9F a lead byte", "\x9F\x40", {L, T}},
        {"0x7E is a trail byte", "\x81\x7E", {L, T}},
    };
    for (const TrackerCase& c : cases) {
        DbcsTracker tracker;
        std::vector<DbcsState> got;
        for (char ch : c.bytes) got.push_back(tracker.step(static_cast<std::uint8_t>(ch)));
        EXPECT_EQ(got, c.states) << c.what;
    }
}

// Bytes below 0x40 end any double-byte character: the fast path relies on it.
TEST(DbcsTracker, LowBytesAreSingleFromEveryState) {
    for (DbcsState from : {S, L, T}) {
        for (int b = 0; b < 0x40; ++b) {
            EXPECT_EQ(zolehead::NextDbcsState(from, static_cast<std::uint8_t>(b)), S) << "byte " << b;
        }
    }
}

}  // namespace
