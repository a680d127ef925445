// The C API through the shared library, as a host uses it: exact bytes
// written, nothing past the clamped count plus one, and the deliberate
// behaviour for bad arguments, odd files and threads.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <atomic>
#include <cstring>
#include <string>
#include <thread>

#include "ZoleHead.h"
#include "test_support.hpp"

namespace {

using namespace zh_test;

using Getter = int32_t(ZH_CALL*)(int32_t, char*, int32_t);

constexpr unsigned char kCanary = 0xCC;

// A buffer filled with a canary byte; `written` says how many leading bytes a
// call changed (the canary byte itself is never a legal output here).
struct Canary {
    std::array<unsigned char, 300> bytes;
    Canary() { bytes.fill(kCanary); }
    char* data() { return reinterpret_cast<char*>(bytes.data()); }
    std::size_t written() const {
        std::size_t last = 0;
        for (std::size_t i = 0; i < bytes.size(); ++i)
            if (bytes[i] != kCanary) last = i + 1;
        return last;
    }
    std::string prefix(std::size_t n) const { return std::string(reinterpret_cast<const char*>(bytes.data()), n); }
};

std::string WithNuls(std::string text, std::size_t total) {
    text.resize(total, '\0');
    return text;
}

TEST(CApi, SizesAndVersion) {
    EXPECT_EQ(zhGetZoleHeaderIdentNum(), 16);
    EXPECT_EQ(zhGetZoleHeaderIdentSize(), 18);
    EXPECT_EQ(zhGetZoleHeaderValueSize(), 127);
    int32_t v[4] = {-1, -1, -1, -1};
    zhGetZoleHeadDllVersion(&v[0], &v[1], &v[2], &v[3]);
    EXPECT_EQ(std::vector<int32_t>(v, v + 4), (std::vector<int32_t>{1, 0, 0, 0}));
    int32_t minor = -1;
    zhGetZoleHeadDllVersion(nullptr, &minor, nullptr, nullptr);  // null pointers are skipped
    EXPECT_EQ(minor, 0);
}

TEST(CApi, IdentifierGettersWriteExactBytes) {
    struct Case {
        const char* what;
        Getter getter;
        int32_t index, max_bytes;
        int32_t result;
        std::string bytes;  // everything written, final NUL included
    } cases[] = {
        {"label, count clamped to 18", zhGetZoleHeaderIdentA, 0, 100, 1, WithNuls(kTitleLabel, 19)},
        {"keyword cut at 3", zhGetZoleHeaderIdentB, 0, 3, 1, std::string("Tit\0", 4)},
        {"label cut inside a character", zhGetZoleHeaderIdentA, 0, 3, 1, std::string("\x8B\xC8\x96\0", 4)},
        {"longest label fills 18 bytes", zhGetZoleHeaderIdentA, 12, 18, 1, kZoleVersionLabel + std::string(1, '\0')},
        {"longest keyword, NUL-filled", zhGetZoleHeaderIdentB, 6, 18, 1, WithNuls("ComposedYear", 19)},
        {"last row", zhGetZoleHeaderIdentB, 15, 7, 1, std::string("Comment\0", 8)},
        {"zero count writes one NUL", zhGetZoleHeaderIdentA, 1, 0, 1, std::string(1, '\0')},
        {"negative count writes one NUL", zhGetZoleHeaderIdentA, 1, -5, 1, std::string(1, '\0')},
        {"negative count, keyword", zhGetZoleHeaderIdentB, 1, -1, 1, std::string(1, '\0')},
        {"index 16 writes nothing", zhGetZoleHeaderIdentA, 16, 18, 0, ""},
        {"index -1 writes nothing", zhGetZoleHeaderIdentB, -1, 18, 0, ""},
        {"alias of the label getter", zhGetZoleHeaderIdent, 15, 18, 1, WithNuls(kCommentLabel, 19)},
    };
    for (const Case& c : cases) {
        Canary buf;
        EXPECT_EQ(c.getter(c.index, buf.data(), c.max_bytes), c.result) << c.what;
        EXPECT_EQ(buf.written(), c.bytes.size()) << c.what;
        EXPECT_EQ(buf.prefix(c.bytes.size()), c.bytes) << c.what;
    }
}

TEST(CApi, IdentIsTheLabelGetter) {
    for (int32_t index = -2; index <= 17; ++index) {
        for (int32_t max_bytes = -2; max_bytes <= 21; ++max_bytes) {
            Canary a, b;
            EXPECT_EQ(zhGetZoleHeaderIdent(index, a.data(), max_bytes),
                      zhGetZoleHeaderIdentA(index, b.data(), max_bytes));
            EXPECT_EQ(a.bytes, b.bytes) << index << " " << max_bytes;
        }
    }
}

TEST(CApi, NullBuffersAreRefused) {
    EXPECT_EQ(zhGetZoleHeaderIdent(0, nullptr, 18), 0);
    EXPECT_EQ(zhGetZoleHeaderIdentA(0, nullptr, 18), 0);
    EXPECT_EQ(zhGetZoleHeaderIdentB(0, nullptr, 18), 0);
    TempDir dir;
    ASSERT_EQ(zhGetZoleHeader(dir.write("f", "*Title 'x'").c_str()), 1);
    EXPECT_EQ(zhGetZoleHeaderValue(0, nullptr, 127), 0);
}

TEST(CApi, BeforeAnyReadEverySlotIsEmpty) {
    for (int32_t i = 0; i < 16; ++i) {
        Canary buf;
        EXPECT_EQ(zhGetZoleHeaderValue(i, buf.data(), 127), 0);
        EXPECT_EQ(buf.prefix(buf.written()), std::string(128, '\0')) << i;
    }
}

TEST(CApi, ValueGetterWritesExactBytes) {
    TempDir dir;
    ASSERT_EQ(zhGetZoleHeader(dir.write("f", kTitleLabel + kColon + "Sakura\n*Genre '" + kHiraA + "x'").c_str()), 1);
    struct Case {
        const char* what;
        int32_t index, max_bytes;
        int32_t result;
        std::string bytes;
    } cases[] = {
        {"count clamped to 127", 0, 200, 1, WithNuls("Sakura", 128)},
        {"exact count", 0, 6, 1, std::string("Sakura\0", 7)},
        {"short count", 0, 4, 1, std::string("Saku\0", 5)},
        {"zero count still gives the status", 1, 0, 2, std::string(1, '\0')},
        {"negative count taken as zero", 1, -3, 2, std::string(1, '\0')},
        {"cut inside a character leaves its lead byte", 1, 1, 2, std::string("\x82\0", 2)},
        {"empty slot", 5, 10, 0, std::string(11, '\0')},
        {"index 16 writes nothing", 16, 127, 0, ""},
        {"index -1 writes nothing", -1, 127, 0, ""},
    };
    for (const Case& c : cases) {
        Canary buf;
        EXPECT_EQ(zhGetZoleHeaderValue(c.index, buf.data(), c.max_bytes), c.result) << c.what;
        EXPECT_EQ(buf.written(), c.bytes.size()) << c.what;
        EXPECT_EQ(buf.prefix(c.bytes.size()), c.bytes) << c.what;
    }
}

std::string Value(int32_t index) {
    char buf[128];
    zhGetZoleHeaderValue(index, buf, 127);
    return buf;
}

TEST(CApi, ReadersFillSlotsWithTheirForm) {
    TempDir dir;
    const std::string path = dir.write("f", kTitleLabel + kColon + "A\n" + kTitleLabel + kColon + "B\n*Genre 'g'\n");
    ASSERT_EQ(zhGetZoleHeaderA(path.c_str()), 1);
    EXPECT_EQ(Value(0), "B");
    EXPECT_EQ(Value(1), "");
    ASSERT_EQ(zhGetZoleHeaderB(path.c_str()), 1);
    EXPECT_EQ(Value(0), "");
    EXPECT_EQ(Value(1), "g");
    ASSERT_EQ(zhGetZoleHeader(path.c_str()), 1);
    char buf[128];
    EXPECT_EQ(zhGetZoleHeaderValue(0, buf, 127), 1);
    EXPECT_STREQ(buf, "");  // a repeated form A label
    EXPECT_EQ(zhGetZoleHeaderValue(1, buf, 127), 2);
    EXPECT_STREQ(buf, "g");
}

// Every failure empties what an earlier read left, in every reader.
TEST(CApi, FailedReadsEmptyEverySlot) {
    TempDir dir;
    const std::string good = dir.write("good", "*Title 'x'\n" + kGenreLabel + kColon + "y\n");
    const std::string fifo = (dir.path() / "fifo").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const char* bad[] = {nullptr,     "/nonexistent/song.zole", dir.path().c_str(), fifo.c_str(),
                         "/dev/zero", "/proc/self/mem"};
    using Reader = int32_t(ZH_CALL*)(const char*);
    for (Reader reader : {zhGetZoleHeaderA, zhGetZoleHeaderB, zhGetZoleHeader}) {
        for (const char* path : bad) {
            ASSERT_EQ(zhGetZoleHeader(good.c_str()), 1);
            ASSERT_EQ(Value(0), "x");
            EXPECT_EQ(reader(path), 0) << (path ? path : "(null)");
            for (int32_t i = 0; i < 16; ++i) {
                char buf[128];
                EXPECT_EQ(zhGetZoleHeaderValue(i, buf, 127), 0) << (path ? path : "(null)");
                EXPECT_STREQ(buf, "");
            }
        }
    }
}

TEST(CApi, LibMainEmptiesOnAttachOnly) {
    TempDir dir;
    ASSERT_EQ(zhGetZoleHeader(dir.write("f", "*Title 'x'").c_str()), 1);
    for (int32_t reason : {0, 2, 3, 7}) {
        EXPECT_EQ(LibMain(nullptr, reason, nullptr), 1);
        EXPECT_EQ(Value(0), "x") << "reason " << reason;
    }
    EXPECT_EQ(LibMain(nullptr, 1, nullptr), 1);
    EXPECT_EQ(Value(0), "");
}

// A reader publishes a whole result: a getter running at the same time sees
// the previous file's value or the new one, never a mixture.
TEST(CApi, ConcurrentGetterNeverSeesATornValue) {
    TempDir dir;
    const std::string long_value(127, 'L');
    const std::string paths[] = {dir.write("long", "*Title '" + long_value + "'"), dir.write("short", "*Title 's'")};
    ASSERT_EQ(zhGetZoleHeader(paths[0].c_str()), 1);
    std::atomic<bool> done{false};
    std::thread reader([&] {
        for (int i = 0; i < 2000; ++i) zhGetZoleHeader(paths[i % 2].c_str());
        done = true;
    });
    int torn = 0;
    while (!done) {
        char buf[128];
        const int32_t status = zhGetZoleHeaderValue(0, buf, 127);
        const std::string got(buf);
        if (status != 2 || (got != long_value && got != "s")) ++torn;
    }
    reader.join();
    EXPECT_EQ(torn, 0);
}

}  // namespace
