// Form B: starred keywords with quoted values such as *Title 'Sakura', one
// byte at a time.
//
// An asterisk anywhere outside a value starts an entry; name characters up to
// the opening quote (' or ") make the name, anything else there is skipped; the
// value runs to the same quote byte, across lines. Line ends never reset it.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

#include "dbcs_tracker.hpp"
#include "header_observer.hpp"
#include "identifier_table.hpp"
#include "value_limit.hpp"
#include "zole_header.hpp"

namespace zolehead {

enum class KeywordState : std::uint8_t {
    IDLE = 0,        // waiting for an asterisk
    AFTER_STAR = 1,  // asterisk seen, no name yet
    NAME = 2,        // collecting the name
    QUOTED = 3,      // collecting the value
};

inline constexpr int kNameMaxBytes = 19;

constexpr bool IsNameChar(std::uint8_t b) noexcept {
    return b == '-' || b == '_' || (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
}

class KeywordMachine {
public:
    // Steps over byte b, whose tracker state is `dbcs`; may commit into
    // `out`. Tells `observer` what it does (see header_observer.hpp).
    template <class Observer = NoObserver>
    inline void step(std::uint8_t b, DbcsState dbcs, ZoleHeader& out, Observer& observer) noexcept;
    inline void step(std::uint8_t b, DbcsState dbcs, ZoleHeader& out) noexcept {
        NoObserver none;
        step(b, dbcs, out, none);
    }

    KeywordState state() const noexcept { return state_; }
    std::uint8_t quote() const noexcept { return quote_; }
    // Whether some keyword of the table starts with the name collected so
    // far. A name only grows until an asterisk starts a new one, so once
    // none does, the entry commits nothing, whatever its value.
    bool name_may_match() const noexcept { return candidates_ != 0; }
    // Whether the name is one of the table's: a value after any other name
    // commits nothing.
    bool name_known() const noexcept { return KeywordRowSpelled(candidates_, name_len_) >= 0; }

    // The bytes that alone can change the machine now, when they are few:
    // writes them to `set` and returns how many (1 to 3), or 0 when other
    // bytes matter too. All lie below 0x40, so each is a single byte to the
    // tracker whatever came before it. A reader may skip to the next of them.
    int awaited_bytes(std::uint8_t (&set)[3]) const noexcept {
        switch (state_) {
        case KeywordState::IDLE:
            set[0] = '*';
            return 1;
        case KeywordState::NAME:  // a full name drops further name characters
            if (name_len_ < kNameMaxBytes) return 0;
            set[0] = '*', set[1] = '"', set[2] = '\'';
            return 3;
        case KeywordState::QUOTED:  // a full value drops everything but its quote
            if (value_len_ < kValueMaxBytes) return 0;
            set[0] = quote_;
            return 1;
        case KeywordState::AFTER_STAR:
            return 0;
        }
        return 0;
    }

    // As stepping n bytes (1 to 64) of a value being collected (QUOTED), none
    // of them below 0x20 or the closing quote; bit i of `leads` is set when
    // the tracker reads byte i as a lead byte. For the fast loop.
    inline void take_value_bytes(const std::uint8_t* bytes, int n, std::uint64_t leads) noexcept;

private:
    KeywordEnd commit(ZoleHeader& out) noexcept;

    KeywordState state_ = KeywordState::IDLE;
    std::uint8_t quote_ = 0;
    std::uint8_t name_len_ = 0;
    std::uint8_t value_len_ = 0;  // may run one past the stored bytes (limit rule)
    std::uint8_t stored_len_ = 0;
    // The rows whose keyword starts with the name so far, kept as it grows.
    std::uint16_t candidates_ = kAllKeywordRows;
    char name_[kNameMaxBytes + 1] = {};
    char value_[kValueMaxBytes + 1] = {};
};

inline void KeywordMachine::take_value_bytes(const std::uint8_t* bytes, int n, std::uint64_t leads) noexcept {
    AppendValueBytes(value_, value_len_, stored_len_, bytes, n, leads);
}

template <class Observer>
inline void KeywordMachine::step(std::uint8_t b, DbcsState dbcs, ZoleHeader& out, Observer& observer) noexcept {
    switch (state_) {
    case KeywordState::IDLE:
        if (b == '*') {
            state_ = KeywordState::AFTER_STAR;
            observer.keyword_star();
        }
        return;
    case KeywordState::AFTER_STAR:
        if (dbcs == DbcsState::DBCS_SINGLE && IsNameChar(b)) {
            name_[0] = static_cast<char>(b);
            name_len_ = 1;
            candidates_ = KeywordRowsWith(0, b);
            state_ = KeywordState::NAME;
        }
        return;
    case KeywordState::NAME:
        if (dbcs != DbcsState::DBCS_SINGLE) return;
        if (b == '*') {
            name_len_ = 0;
            candidates_ = kAllKeywordRows;
            state_ = KeywordState::AFTER_STAR;
            observer.keyword_star();
        } else if (IsNameChar(b)) {
            if (name_len_ < kNameMaxBytes) {
                candidates_ &= KeywordRowsWith(name_len_, b);
                name_[name_len_++] = static_cast<char>(b);
            }
        } else if (b == '"' || b == '\'') {
            quote_ = b;
            value_len_ = stored_len_ = 0;
            state_ = KeywordState::QUOTED;
            observer.keyword_quote_open();
        }
        return;
    case KeywordState::QUOTED:
        if (b < 0x20) {  // line breaks and control bytes are dropped
            observer.keyword_control_dropped();
            return;
        }
        if (b == quote_) {
            state_ = KeywordState::IDLE;
            const KeywordEnd end = commit(out);
            observer.keyword_end(end);
        } else if (value_len_ >= kValueMaxBytes) {
            observer.keyword_value_full();  // full: dropped
        } else if (value_len_ == kValueMaxBytes - 1 && dbcs == DbcsState::DBCS_LEAD) {
            value_len_ = kValueMaxBytes;  // a character that would not fit is not started
            observer.keyword_value_full();
        } else {
            value_[value_len_++] = static_cast<char>(b);
            stored_len_ = value_len_;
        }
        return;
    }
}

}  // namespace zolehead
