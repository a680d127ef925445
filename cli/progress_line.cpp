#include "progress_line.hpp"

#include <cstdio>
#include <string>

namespace zolehead_cli {

namespace {

constexpr auto kQuietStart = std::chrono::milliseconds(1000);
constexpr auto kRedrawEvery = std::chrono::milliseconds(200);

}  // namespace

void ProgressLine::update(std::uint64_t done, std::uint64_t failed) {
    if (!enabled_) return;
    const Clock::time_point now = Clock::now();
    if (now - start_ < kQuietStart || now - last_ < kRedrawEvery) return;
    last_ = now;
    const double seconds = std::chrono::duration<double>(now - start_).count();
    std::fprintf(stderr, "\rzolehead: %llu files, %llu failed, %.0f files/s\033[K",
                 static_cast<unsigned long long>(done), static_cast<unsigned long long>(failed),
                 static_cast<double>(done) / seconds);
    std::fflush(stderr);
    drawn_ = true;
}

void ProgressLine::clear() {
    if (!drawn_) return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    drawn_ = false;
}

void ProgressLine::message(std::string_view line) {
    clear();
    std::string text(line);
    text += '\n';
    std::fwrite(text.data(), 1, text.size(), stderr);
}

}  // namespace zolehead_cli
