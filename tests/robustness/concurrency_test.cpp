// Eight threads at once: through the reentrant core every thread gets exactly
// the serial result; through the exports every value copied out is whole.
// Also a file cut short and regrown while it is read. Run under TSan too.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <barrier>
#include <chrono>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "robustness_support.hpp"

namespace {

using namespace zh_test;
using zh_robust::ApiSlot;
using zh_robust::Bytes;
using zh_robust::Repeat;
using zolehead::HeaderForm;
using zolehead::ReadHeaderFile;
using zolehead::ZoleHeader;

constexpr int kThreads = 8;
constexpr HeaderForm kForms[] = {HeaderForm::A, HeaderForm::B, HeaderForm::BOTH};

// File f fills every slot, half in form A and half in form B, with values of
// a length and letter of its own, so a value torn between two files shows.
std::string SongFile(int f) {
    std::string text;
    for (int slot = 0; slot < 16; ++slot) {
        const std::size_t length = static_cast<std::size_t>(1 + (f * 16 + slot * 7) % 127);
        const std::string value(length, static_cast<char>('a' + (f + slot) % 26));
        if ((slot + f) % 2 == 0) {
            text += std::string(zolehead::kIdentifiers[slot].label) + kColon + value + "\r\n";
        } else {
            text.append("*").append(zolehead::kIdentifiers[slot].keyword).append(" '").append(value).append("'\r\n");
        }
    }
    // A body long enough that reads overlap.
    for (int line = 0; line < 400; ++line) text += "t120 o4 l8 cdefgab>c<\r\n";
    return text;
}

struct SongFiles {
    TempDir dir;
    std::vector<std::string> paths;
    SongFiles() {
        for (int f = 0; f < kThreads; ++f) paths.push_back(dir.write("song" + std::to_string(f), SongFile(f)));
    }
};

TEST(Concurrency, CoreReadsInEightThreadsEqualTheSerialResult) {
    SongFiles files;
    ZoleHeader serial[kThreads][3];
    for (int f = 0; f < kThreads; ++f) {
        for (int k = 0; k < 3; ++k) ASSERT_TRUE(ReadHeaderFile(files.paths[f].c_str(), kForms[k], serial[f][k]));
    }
    std::barrier start(kThreads);
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            start.arrive_and_wait();
            for (int round = 0; round < 60; ++round) {
                const int f = (t + round) % kThreads;  // every file, in a different order per thread
                const int k = round % 3;
                ZoleHeader h;
                if (!ReadHeaderFile(files.paths[f].c_str(), kForms[k], h) || h != serial[f][k]) ++mismatches;
                if (zolehead::ReadHeader(Bytes(SongFile(f)), kForms[k]) != serial[f][k]) ++mismatches;
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(mismatches.load(), 0);
}

// Through the exports the slots are shared: a thread may see another thread's
// file, but each value it copies out is empty or exactly what one of the files
// gives that slot in one of the forms, with that form's status.
TEST(Concurrency, ExportedGettersNeverHandOutATornValue) {
    SongFiles files;
    std::array<std::set<std::pair<int32_t, std::string>>, 16> whole;
    for (int slot = 0; slot < 16; ++slot) whole[slot].insert({0, ""});
    for (int f = 0; f < kThreads; ++f) {
        for (HeaderForm form : kForms) {
            ZoleHeader h;
            ASSERT_TRUE(ReadHeaderFile(files.paths[f].c_str(), form, h));
            for (int slot = 0; slot < 16; ++slot) {
                whole[slot].insert({h.slots[slot].status, std::string(h.slots[slot].text())});
            }
        }
    }
    using Reader = int32_t(ZH_CALL*)(const char*);
    const Reader readers[] = {zhGetZoleHeaderA, zhGetZoleHeaderB, zhGetZoleHeader};
    std::barrier start(kThreads);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    std::atomic<int> failed_reads{0}, torn{0}, bad_identifiers{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            start.arrive_and_wait();
            // Half the threads read and copy out, half only copy out, for a
            // second at least: a copy racing a publish has to be caught.
            for (int round = 0; round < 60 || std::chrono::steady_clock::now() < deadline; ++round) {
                if (t % 2 == 0 && readers[round % 3](files.paths[(t + round) % kThreads].c_str()) != 1) {
                    ++failed_reads;
                }
                for (int32_t slot = 0; slot < 16; ++slot) {
                    if (!whole[slot].contains(ApiSlot(slot))) ++torn;
                    char label[19];
                    if (zhGetZoleHeaderIdentA(slot, label, 18) != 1 || label != zolehead::kIdentifiers[slot].label)
                        ++bad_identifiers;
                }
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(failed_reads.load(), 0);
    EXPECT_EQ(torn.load(), 0);
    EXPECT_EQ(bad_identifiers.load(), 0);
}

// A writer cuts the file back into its body and writes the rest again, over
// and over, while reads loop. A read sees the file's bytes up to wherever its
// end was at that moment: the fields at the start always, each field at the
// end whole or not at all, never a failure or a torn value.
TEST(Concurrency, FileTruncatedWhileBeingRead) {
    const std::string head = kTitleLabel + kColon + "head\n*Genre 'g'\n";
    const std::string body = Repeat("# filler line of the body\n", 40000);  // about 1 MiB
    const std::string tail = kCommentLabel + kColon + "tail\n*Composer 'c'\n";
    const std::string content = head + body + tail;
    TempDir dir;
    const std::string path = dir.write("changing", content);

    // Every result a read may give: the body cut anywhere reads like the body
    // whole, so the results are those of head + body + each prefix of the tail.
    std::vector<ZoleHeader> possible;
    zolehead::HeaderScanner before_tail(HeaderForm::BOTH);
    before_tail.feed(Bytes(head + body));
    for (std::size_t n = 0; n <= tail.size(); ++n) {
        zolehead::HeaderScanner scanner = before_tail;
        scanner.feed(Bytes(std::string_view(tail).substr(0, n)));
        possible.push_back(scanner.header());
    }
    ASSERT_EQ(possible.back(), Read(content, HeaderForm::BOTH));

    std::atomic<bool> stop{false};
    std::thread writer([&] {
        const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd < 0) return;
        for (std::size_t round = 0; !stop.load(std::memory_order_relaxed); ++round) {
            const std::size_t cut = head.size() + (round * 7919) % body.size();
            if (ftruncate(fd, static_cast<off_t>(cut)) != 0) break;
            if (pwrite(fd, content.data() + cut, content.size() - cut, static_cast<off_t>(cut)) < 0) break;
        }
        close(fd);
    });
    int failures = 0, unexpected = 0, whole_file = 0;
    for (int round = 0; round < 300; ++round) {
        ZoleHeader h;
        if (!ReadHeaderFile(path.c_str(), HeaderForm::BOTH, h)) {
            ++failures;
            continue;
        }
        if (std::find(possible.begin(), possible.end(), h) == possible.end()) ++unexpected;
        if (h == possible.back()) ++whole_file;
        if (round % 10 == 0) {
            if (zhGetZoleHeader(path.c_str()) != 1 || ApiSlot(0) != std::make_pair(1, std::string("head"))) ++failures;
        }
    }
    stop = true;
    writer.join();
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(unexpected, 0);
    RecordProperty("reads_of_the_whole_file", whole_file);
}

}  // namespace
