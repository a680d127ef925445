// Readers in 8 threads during a bulk edit never see a torn file: every read
// of every file gives, byte for byte, one of the versions the edits write.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "editor.hpp"
#include "test_support.hpp"

namespace {

using zolehead::edit::EditAction;
using zolehead::edit::EditStatus;
using zolehead::edit::FieldChangeRequest;

std::string Version(int file, char title) {
    std::string text = "*Title '";
    text.append(1, title).append("'\n*Genre 'g").append(std::to_string(file)).append("'\n");
    return text.append(static_cast<std::size_t>(4096 + file), 'm').append("\n");
}

TEST(EditConcurrency, ReadersNeverSeeATornFile) {
    constexpr int kFiles = 20;
    constexpr int kRounds = 6;
    zh_test::TempDir dir;
    std::vector<std::string> paths;
    for (int i = 0; i < kFiles; ++i) {
        std::string name = std::to_string(i);
        paths.push_back(dir.write(name.append(".zole"), Version(i, 'A')));
    }

    std::atomic<bool> done{false};
    std::atomic<long> reads{0}, torn{0};
    std::vector<std::thread> readers;
    for (int t = 0; t < 8; ++t) {
        readers.emplace_back([&, t] {
            for (int i = t; !done.load(); i = (i + 1) % kFiles) {
                std::ifstream in(paths[static_cast<std::size_t>(i)], std::ios::binary);
                std::ostringstream all;
                all << in.rdbuf();
                const std::string got = all.str();
                if (got != Version(i, 'A') && got != Version(i, 'B')) torn.fetch_add(1);
                reads.fetch_add(1);
            }
        });
    }
    zolehead::edit::Editor editor;
    int edited = 0;
    for (int round = 0; round < kRounds; ++round) {
        const FieldChangeRequest change[] = {{0, EditAction::SET, round % 2 == 0 ? "B" : "A", false}};
        for (const std::string& path : paths) edited += editor.edit_file(path, change, {}).status == EditStatus::EDITED;
    }
    done.store(true);
    for (std::thread& r : readers) r.join();
    EXPECT_EQ(edited, kFiles * kRounds);
    EXPECT_EQ(torn.load(), 0);
    EXPECT_GT(reads.load(), 0);
}

}  // namespace
