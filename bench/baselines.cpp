#include "baselines.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace zolehead_bench {

namespace {

constexpr std::size_t kFloorBlockBytes = 64 * 1024;

template <zolehead::HeaderForm F>
void DriveMachines(std::FILE* file, zolehead::ZoleHeader& out) {
    zolehead::DbcsTracker tracker;
    zolehead::LabelLineMachine label(F == zolehead::HeaderForm::BOTH ? zolehead::LabelCommit::DEFER_TO_FORM_B
                                                                     : zolehead::LabelCommit::LAST_WINS);
    zolehead::KeywordMachine keyword;
    for (int c; (c = std::fgetc(file)) != EOF && c != zolehead::kEndOfText;) {
        const auto b = static_cast<std::uint8_t>(c);
        const zolehead::DbcsState dbcs = tracker.step(b);
        if constexpr (F != zolehead::HeaderForm::B) label.step(b, dbcs, out);
        if constexpr (F != zolehead::HeaderForm::A) keyword.step(b, dbcs, out);
    }
}

// Calls `block` on every block of the file; false if it cannot be opened.
template <typename OnBlock>
bool ForEachBlock(const char* path, OnBlock&& block) {
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    std::uint8_t buffer[kFloorBlockBytes];
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got <= 0) break;
        block(std::span<const std::uint8_t>(buffer, static_cast<std::size_t>(got)));
    }
    close(fd);
    return true;
}

}  // namespace

bool ReadWithFgetc(const char* path, zolehead::HeaderForm form, zolehead::ZoleHeader& out) {
    out.clear();
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return false;
    switch (form) {
    case zolehead::HeaderForm::A: DriveMachines<zolehead::HeaderForm::A>(file, out); break;
    case zolehead::HeaderForm::B: DriveMachines<zolehead::HeaderForm::B>(file, out); break;
    case zolehead::HeaderForm::BOTH: DriveMachines<zolehead::HeaderForm::BOTH>(file, out); break;
    }
    std::fclose(file);
    return true;
}

long long CountLinesInMemory(std::span<const std::uint8_t> bytes) {
    long long lines = 0;
    const std::uint8_t* p = bytes.data();
    const std::uint8_t* const end = p + bytes.size();
    while (p != end) {
        const void* lf = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
        if (lf == nullptr) break;
        ++lines;
        p = static_cast<const std::uint8_t*>(lf) + 1;
    }
    return lines;
}

long long CountLinesWithMemchr(const char* path) {
    long long lines = 0;
    if (!ForEachBlock(path, [&](std::span<const std::uint8_t> block) { lines += CountLinesInMemory(block); }))
        return -1;
    return lines;
}

long long OpenReadClose(const char* path) {
    long long bytes = 0;
    if (!ForEachBlock(path, [&](std::span<const std::uint8_t> block) {
            bytes += static_cast<long long>(block.size());
        }))
        return -1;
    return bytes;
}

}  // namespace zolehead_bench
