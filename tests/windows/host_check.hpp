// A small check harness for the Windows host: no test framework is built for
// the target, so each check prints what it proves when it fails.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace zh_host {

// How a checked value is printed in a failure message.
inline std::string Show(long long v) { return std::to_string(v); }
inline std::string Show(unsigned long long v) { return std::to_string(v); }
inline std::string Show(long v) { return std::to_string(v); }
inline std::string Show(unsigned long v) { return std::to_string(v); }
inline std::string Show(int v) { return std::to_string(v); }
inline std::string Show(unsigned v) { return std::to_string(v); }
// Bytes as hex escapes: the values are Shift_JIS, and NULs matter.
inline std::string Show(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out = "\"";
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7F && c != '\\' && c != '"') {
            out += static_cast<char>(c);
        } else {
            out += "\\x";
            out += digits[c >> 4];
            out += digits[c & 15];
        }
    }
    return out + "\"";
}

class Checks {
public:
    // Records one check; prints `what` (and `detail`, if any) when it fails.
    bool expect(bool ok, std::string_view what, std::string_view detail = {}) {
        ++count_;
        if (!ok) {
            ++failed_;
            std::printf("FAIL: %.*s", static_cast<int>(what.size()), what.data());
            if (!detail.empty()) std::printf(" (%.*s)", static_cast<int>(detail.size()), detail.data());
            std::printf("\n");
        }
        return ok;
    }

    template <class A, class B>
    bool equal(const A& actual, const B& expected, std::string_view what) {
        if (actual == expected) return expect(true, what);
        return expect(false, what, "got " + Show(actual) + ", want " + Show(expected));
    }

    int count() const { return count_; }
    int failed() const { return failed_; }

private:
    int count_ = 0;
    int failed_ = 0;
};

}  // namespace zh_host
