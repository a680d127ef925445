// Planning allocates nothing per file beyond the file's bytes: once a
// planner has met a file, planning another of the same shape (other values,
// as in a collection) makes no heap allocation. Counts calls of operator
// new, which every container here goes through.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

#include "edit_invariants.hpp"
#include "planner.hpp"

namespace {
std::atomic<long> g_news{0};
}  // namespace

void* operator new(std::size_t bytes) {
    g_news.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(bytes == 0 ? 1 : bytes)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

using zolehead::edit::EditAction;
using zolehead::edit::FieldEdit;
using zolehead::edit::InsertForm;
using zolehead::edit::Plan;

// A realistic file: a header in both forms with long values, then music.
std::string Song(int n) {
    const std::string tag = std::to_string(n);
    std::string s = "*Title 'A title long enough to leave the short string buffer " + tag + "'\r\n";
    s += "*Composer 'Someone with a long name, number " + tag + "'\r\n";
    s += "\x83\x52\x83\x81\x83\x93\x83\x67\x81\x46"  // コメント：
         "A comment line that is long as well, " + tag + "\r\n";
    for (int i = 0; i < 300; ++i) s += "A t120 l8 o4 cdefgab>c< ; bar " + std::to_string(i) + "\r\n";
    return s;
}

TEST(PlanAllocations, NonePerFileOnceWarm) {
    zolehead::edit::Planner planner;
    const std::string value = "A new title for every file";
    const FieldEdit edits[] = {{0, EditAction::SET, value}, {1, EditAction::SET, "Pop"}, {2, EditAction::REMOVE, {}}};
    const std::string first = Song(1000);
    const long cold = g_news.load();
    ASSERT_EQ(planner.plan(zh_edit_check::Bytes(first), edits, InsertForm::AUTO).kind, Plan::Kind::CHANGE);
    EXPECT_GT(g_news.load() - cold, 0);  // the count sees the planner's first allocations
    for (int n = 0; n < 20; ++n) {
        const std::string song = Song(n);
        const long before = g_news.load();
        const Plan& plan = planner.plan(zh_edit_check::Bytes(song), edits, InsertForm::AUTO);
        const long made = g_news.load() - before;
        ASSERT_EQ(plan.kind, Plan::Kind::CHANGE) << plan.reason;
        EXPECT_EQ(made, 0) << "file " << n;
        EXPECT_EQ(zh_edit_check::VerifyChange(song, edits, plan), "");
    }
    // Nothing to do costs nothing either.
    const std::string done = "*Title '" + value + "'\r\n*Genre 'Pop'\r\n";
    const long before = g_news.load();
    EXPECT_EQ(planner.plan(zh_edit_check::Bytes(done), edits, InsertForm::AUTO).kind, Plan::Kind::UNCHANGED);
    EXPECT_EQ(g_news.load() - before, 0);
}

}  // namespace
