// The catalog's store and views: text kept exactly, filters that match
// within one piece only, sorts with empty values last and walk order kept
// among equals.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "catalog.hpp"
#include "catalog_query.hpp"

namespace zolehead::serve {
namespace {

struct TestRow {
    std::string path;
    std::string error;
    std::vector<std::pair<int, std::string>> values;  // field index, value (form A)
};

Catalog Build(const std::vector<TestRow>& rows) {
    CatalogBuilder builder;
    for (const TestRow& row : rows) {
        CatalogEntry entry;
        entry.path = row.path;
        entry.error = row.error;
        for (const auto& [field, value] : row.values) {
            entry.values[static_cast<std::size_t>(field)] = value;
            entry.forms[static_cast<std::size_t>(field)] = FieldForm::A;
        }
        builder.add(entry);
    }
    return builder.finish();
}

TEST(Utf8, Validity) {
    struct Case {
        const char* label;
        std::string text;
        bool utf8;
    } cases[] = {
        {"ASCII", "abc", true},
        {"empty", "", true},
        {"two-byte", "\xC3\xA9", true},
        {"three-byte kana", "\xE3\x81\x82", true},
        {"four-byte", "\xF0\x9F\x8E\xB5", true},
        {"highest code point", "\xF4\x8F\xBF\xBF", true},
        {"overlong two-byte", "\xC0\x80", false},
        {"overlong three-byte", "\xE0\x80\x80", false},
        {"overlong four-byte", "\xF0\x80\x80\x80", false},
        {"surrogate", "\xED\xA0\x80", false},
        {"past U+10FFFF", "\xF4\x90\x80\x80", false},
        {"stray continuation", "a\x80", false},
        {"cut short", "\xE3\x81", false},
        {"Shift_JIS bytes", "\x8B\xC8\x96\xBC", false},
        {"lead then ASCII", "\xE3\x41\x41", false},
    };
    for (const Case& c : cases) EXPECT_EQ(IsUtf8(c.text), c.utf8) << c.label;
}

TEST(Catalog, KeepsEveryPieceExactly) {
    CatalogBuilder builder;
    CatalogEntry entry;
    entry.path = "a/b.zole";
    entry.values[0] = "春の風";
    entry.forms[0] = FieldForm::A;
    entry.values[15] = "";  // stored empty: a form but no text
    entry.forms[15] = FieldForm::B;
    entry.lossy = 1;
    builder.add(entry);
    const std::string shift_jis_name("bad\x8B\xC8", 5);
    const std::string name_with_nul("x\0y", 3);
    CatalogEntry failed;
    failed.path = shift_jis_name;
    failed.error = "cannot open: Permission denied";
    builder.add(failed);
    CatalogEntry with_nul;
    with_nul.path = name_with_nul;
    builder.add(with_nul);
    const Catalog catalog = builder.finish();

    ASSERT_EQ(catalog.size(), 3U);
    EXPECT_EQ(catalog.error_count(), 1U);
    EXPECT_EQ(catalog.path(0), "a/b.zole");
    EXPECT_EQ(catalog.value(0, 0), "春の風");
    EXPECT_EQ(catalog.form(0, 0), FieldForm::A);
    EXPECT_TRUE(catalog.lossy(0, 0));
    EXPECT_FALSE(catalog.lossy(0, 15));
    EXPECT_EQ(catalog.value(0, 15), "");
    EXPECT_EQ(catalog.form(0, 15), FieldForm::B);
    EXPECT_EQ(catalog.form(0, 7), FieldForm::NONE);
    EXPECT_EQ(catalog.column(0, kPathColumn), "a/b.zole");
    EXPECT_EQ(catalog.column(0, 1), "春の風");
    EXPECT_TRUE(catalog.path_is_utf8(0));
    EXPECT_FALSE(catalog.path_is_utf8(1));
    EXPECT_EQ(catalog.error(1), "cannot open: Permission denied");
    EXPECT_EQ(catalog.path(2), "xy");  // a NUL would break the separators
    EXPECT_EQ(catalog.row_start(3), catalog.arena().size());
}

TEST(Filter, Terms) {
    struct Case {
        const char* label;
        std::string filter;
        std::vector<std::string> terms;
    } cases[] = {
        {"one word", "Sakura", {"sakura"}},
        {"blanks and tabs separate", "  a\tb  c ", {"a", "b", "c"}},
        {"an ideographic space separates", "山田\xE3\x80\x80太郎", {"山田", "太郎"}},
        {"control bytes are dropped", std::string("a\0b\x01" "c", 5), {"abc"}},
        {"nothing", "   ", {}},
        {"Japanese is left as it is", "ＡＢＣ", {"ＡＢＣ"}},
        {"at most sixteen terms", "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17", {"1", "2", "3", "4", "5", "6", "7", "8",
                                                                              "9", "10", "11", "12", "13", "14", "15", "16"}},
    };
    for (const Case& c : cases) EXPECT_EQ(FilterTerms(c.filter), c.terms) << c.label;
}

TEST(Filter, MatchesWithinOnePieceAndEveryTerm) {
    const Catalog catalog = Build({
        {"one.zole", "", {{0, "Sakura"}, {1, "Pop"}}},
        {"two.zole", "", {{0, "sakuraPop"}}},
        {"three.zole", "cannot open: Permission denied", {}},
        {"pop/four.zole", "", {{2, "山田"}}},
    });
    struct Case {
        const char* label;
        std::string filter;
        RowList rows;
    } cases[] = {
        {"everything", "", {0, 1, 2, 3}},
        {"a value, any case", "SAKURA", {0, 1}},
        {"not across two fields", "sakurapop", {1}},
        {"every term", "sakura pop", {0, 1}},
        {"the path", "four", {3}},
        {"a folder in the path", "pop/", {3}},
        {"the error", "permission", {2}},
        {"Japanese", "山田", {3}},
        {"nothing", "zzz", {}},
        {"not into the next row", ".zolesakura", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(MatchingRows(catalog, FilterTerms(c.filter)), c.rows) << c.label;
}

TEST(Sort, EmptyLastAndEqualsInWalkOrder) {
    const Catalog catalog = Build({
        {"a", "", {{0, "beta"}}},
        {"b", "", {}},
        {"c", "", {{0, "Alpha"}}},
        {"d", "", {{0, "beta"}}},
        {"e", "", {{0, "ALPHA"}}},
        {"f", "", {{0, "春"}}},
    });
    // The query's parts apart: g++ 12 warns falsely on a ViewQuery inside an aggregate array.
    struct Case {
        const char* label;
        const char* filter;
        int column;
        bool descending;
        RowList rows;
    } cases[] = {
        {"walk order", "", kWalkOrder, false, {0, 1, 2, 3, 4, 5}},
        {"walk order reversed", "", kWalkOrder, true, {5, 4, 3, 2, 1, 0}},
        {"ascending, case ignored, ties in walk order", "", 1, false, {2, 4, 0, 3, 5, 1}},
        {"descending keeps ties in walk order, empty last", "", 1, true, {5, 0, 3, 2, 4, 1}},
        {"by path descending", "", kPathColumn, true, {5, 4, 3, 2, 1, 0}},
        {"filtered and sorted", "alpha", 1, true, {2, 4}},
    };
    for (const Case& c : cases) {
        const ViewQuery query{c.filter, c.column, c.descending};
        EXPECT_EQ(ViewRows(catalog, query), c.rows) << c.label;
        if (c.column != kWalkOrder) {
            const RowList order = SortedRows(catalog, c.column, c.descending);
            EXPECT_EQ(ViewRows(catalog, query, &order), c.rows) << c.label << " (with the order given)";
        }
    }
}

TEST(Sort, ValuesThatShareTheirFirstSixteenBytes) {
    // Long values equal in their first sixteen bytes are told apart by the rest.
    const Catalog catalog = Build({
        {"a", "", {{0, "Moonlight Drive 10"}}},
        {"b", "", {{0, "moonlight drive 9"}}},
        {"c", "", {{0, "MOONLIGHT DRIVE 10"}}},
        {"d", "", {{0, "Moonlight Drive 1"}}},
        {"e", "", {{0, "Moonlight Drive"}}},
        {"f", "", {{0, "Moonlight Drive 10 (remix)"}}},
    });
    EXPECT_EQ(SortedRows(catalog, 1, false), (RowList{4, 3, 0, 2, 5, 1}));
    EXPECT_EQ(SortedRows(catalog, 1, true), (RowList{1, 5, 0, 2, 3, 4}));
}

TEST(ViewCache, AnswersFromTheVersionAsked) {
    auto first = std::make_shared<const Catalog>(Build({{"a", "", {{0, "x"}}}, {"b", "", {{0, "y"}}}}));
    auto second = std::make_shared<const Catalog>(Build({{"c", "", {{0, "x"}}}}));
    ViewCache cache;
    const ViewQuery query{"x", 1, false};
    EXPECT_EQ(*cache.rows(first, 1, query), (RowList{0}));
    EXPECT_EQ(cache.rows(first, 1, query), cache.rows(first, 1, query));  // the same list, not a new one
    EXPECT_EQ(*cache.rows(second, 2, query), (RowList{0}));
    EXPECT_EQ(*cache.rows(second, 2, ViewQuery{"", 1, true}), (RowList{0}));
    EXPECT_EQ(*cache.rows(first, 1, ViewQuery{"", 1, true}), (RowList{1, 0}));
}

}  // namespace
}  // namespace zolehead::serve
