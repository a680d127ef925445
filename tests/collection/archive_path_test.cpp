// ARCHIVE!/ENTRY: where a path splits, given which prefixes are regular files.
#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>

#include "archive_path.hpp"

namespace {

using zolehead::collection::JoinArchivePath;
using zolehead::collection::SplitArchivePath;

struct SplitCase {
    const char* label;
    const char* path;
    std::optional<std::pair<std::string, std::string>> expected;
};

TEST(ArchivePath, SplitsAtTheFirstSeparatorAfterARegularFile) {
    const std::set<std::string> files = {"songs.lzh", "a!/b.zip", "x", "dir!/"};
    const auto is_file = [&](std::string_view archive) { return files.count(std::string(archive)) != 0; };
    const SplitCase cases[] = {
        {"archive and entry", "songs.lzh!/folder/song.zol", {{"songs.lzh", "folder/song.zol"}}},
        {"an entry name holding !/ stays whole", "songs.lzh!/a!/b.zol", {{"songs.lzh", "a!/b.zol"}}},
        {"an archive path holding !/", "a!/b.zip!/c.zol", {{"a!/b.zip", "c.zol"}}},
        {"the shortest regular file wins", "x!/songs.lzh!/y", {{"x", "songs.lzh!/y"}}},
        {"a path on disk", "folder/song.zol", std::nullopt},
        {"a prefix that is no regular file", "folder!/song.zol", std::nullopt},
        {"nothing after the separator", "songs.lzh!/", std::nullopt},
        {"nothing before the separator", "!/songs.lzh", std::nullopt},
        {"a bang without a slash", "songs.lzh!song.zol", std::nullopt},
        {"an empty path", "", std::nullopt},
    };
    for (const SplitCase& c : cases) {
        const auto parts = SplitArchivePath(c.path, is_file);
        ASSERT_EQ(parts.has_value(), c.expected.has_value()) << c.label;
        if (!parts) continue;
        EXPECT_EQ(parts->archive, c.expected->first) << c.label;
        EXPECT_EQ(parts->entry, c.expected->second) << c.label;
    }
}

TEST(ArchivePath, JoinedPathsSplitBackIntoTheirParts) {
    const auto is_file = [](std::string_view archive) { return archive == "music/songs.lzh"; };
    for (const char* entry : {"song.zol", "a!/b.zol", "!/x", "/absolute.zol"}) {
        const std::string path = JoinArchivePath("music/songs.lzh", entry);
        const auto parts = SplitArchivePath(path, is_file);
        ASSERT_TRUE(parts.has_value()) << entry;
        EXPECT_EQ(parts->archive, "music/songs.lzh");
        EXPECT_EQ(parts->entry, entry);
    }
}

}  // namespace
