// The planner on tables of inputs: every CHANGE plan is verified from the
// outside (checks 1-4, fuzz/edit_invariants.hpp) and compared with the bytes
// a careful person would write; every refusal names its reason.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "edit_invariants.hpp"
#include "identifier_table.hpp"
#include "planner.hpp"
#include "test_support.hpp"
#include "value_rules.hpp"

namespace {

using namespace zh_test;
using zolehead::edit::EditAction;
using zolehead::edit::FieldEdit;
using zolehead::edit::InsertForm;
using zolehead::edit::Plan;
using zolehead::edit::Planner;
using zolehead::edit::Problem;

const std::string T = kTitleLabel + kColon;    // 曲名：
const std::string G = kGenreLabel + kColon;    // ジャンル：
const std::string C = kCommentLabel + kColon;  // コメント：
const std::string kComposerLabel =
    "\x8D\xEC"
    "\x8B\xC8";  // 作曲

// FieldEdit holds a view: long values live here.
const std::string k127 = std::string(127, 'v');
const std::string k128 = std::string(128, 'v');
const std::string k125Wide = std::string(125, 'v') + kHiraA;
const std::string kXWide = "x" + kWideSpace;
const std::string k126Wide = std::string(126, 'v') + kHiraA;

FieldEdit Set(int row, std::string_view value) { return {row, EditAction::SET, value}; }
FieldEdit Remove(int row) { return {row, EditAction::REMOVE, {}}; }

struct Case {
    const char* what;
    std::string input;
    std::vector<FieldEdit> edits;
    InsertForm form;
    std::string expected;  // the new file
};

// Runs one CHANGE case: the plan holds every check and gives `expected`.
void ExpectChange(Planner& planner, const Case& c) {
    const Plan& plan = planner.plan(zh_edit_check::Bytes(c.input), c.edits, c.form);
    ASSERT_EQ(plan.kind, Plan::Kind::CHANGE) << c.what << ": " << plan.reason;
    EXPECT_EQ(zh_edit_check::VerifyChange(c.input, c.edits, plan), "") << c.what;
    EXPECT_EQ(plan.result, c.expected) << c.what;
}

TEST(Planner, ChangesInPlaceAndWhereTheyGo) {
    Planner planner;
    const Case cases[] = {
        {"a form A value in place; trailing blanks of the old value go with it", T + "Old" + kWideSpace + " \r\n*Genre 'Pop'\r\n",
         {Set(0, "New")}, InsertForm::AUTO, T + "New\r\n*Genre 'Pop'\r\n"},
        {"a form B value in place, its quote kept", "*Title \"Old\"\n", {Set(0, "New")}, InsertForm::AUTO,
         "*Title \"New\"\n"},
        {"a form B value holding its quote switches to the other quote", "*Title \"Old\"\n",
         {Set(0, "say \"hi\"")}, InsertForm::AUTO, "*Title 'say \"hi\"'\n"},
        {"a multi-line form B value becomes one line", "*Comment 'a\r\nb'\r\nx\r\n", {Set(15, "c")},
         InsertForm::AUTO, "*Comment 'c'\r\nx\r\n"},
        {"form B wins, and the form A line the A reader reads changes too", T + "A\n*Title 'B'\n", {Set(0, "N")},
         InsertForm::AUTO, T + "N\n*Title 'N'\n"},
        {"the repeated label: the last line takes the value, the earlier one goes",
         T + "A\r\n" + G + "Pop\r\n" + T + "B\r\n", {Set(0, "N")}, InsertForm::AUTO,
         G + "Pop\r\n" + T + "N\r\n"},
        {"a missing field after the header block, in form A like the file's entries",
         T + "X\r\n" + C + "c\r\n\r\nA cdef\r\n", {Set(1, "Pop")}, InsertForm::AUTO,
         T + "X\r\n" + C + "c\r\n" + G + "Pop\r\n\r\nA cdef\r\n"},
        {"a missing field in form B like the file's entries, with its LF",
         "; song\n*Title 'X'\n*Composer 'Y'\n\nA cdef\n", {Set(1, "Pop")}, InsertForm::AUTO,
         "; song\n*Title 'X'\n*Composer 'Y'\n*Genre 'Pop'\n\nA cdef\n"},
        {"a CR file gets CR", T + "X\r" + "A cdef\r", {Set(1, "Pop")}, InsertForm::AUTO,
         T + "X\r" + G + "Pop\r" + "A cdef\r"},
        {"--form b in a form A file", T + "X\n", {Set(1, "Pop")}, InsertForm::B, T + "X\n*Genre \"Pop\"\n"},
        {"an empty file: form B, CR LF", "", {Set(0, "X")}, InsertForm::AUTO, "*Title \"X\"\r\n"},
        {"an empty file in form A", "", {Set(0, "X")}, InsertForm::A, T + "X\r\n"},
        {"no header: the new line goes first, with the file's line end", "A cdef\nB gab\n", {Set(0, "X")},
         InsertForm::AUTO, "*Title \"X\"\nA cdef\nB gab\n"},
        {"the header block ends where a line of music comes", "*Title 'X'\nA c *Genre 'Y'\n", {Set(2, "Z")},
         InsertForm::AUTO, "*Title 'X'\n*Composer 'Z'\nA c *Genre 'Y'\n"},
        {"a last line without a line end gets one first", "*Title 'X'", {Set(1, "Pop")}, InsertForm::AUTO,
         "*Title 'X'\r\n*Genre 'Pop'\r\n"},
        {"before the end mark; what follows it stays", T + "X\n\x1A" + G + "junk\n", {Set(1, "Pop")},
         InsertForm::AUTO, T + "X\n" + G + "Pop\n\x1A" + G + "junk\n"},
        {"an empty form A line is filled when the new entry is form A", T + "X\n" + G + "  \n", {Set(1, "Pop")},
         InsertForm::A, T + "X\n" + G + "  Pop\n"},
        {"127 bytes fit", T + "X\n", {Set(0, k127)}, InsertForm::AUTO,
         T + std::string(127, 'v') + "\n"},
        {"125 bytes and a double-byte character make 127", "*Title 'X'", {Set(0, k125Wide)},
         InsertForm::AUTO, "*Title '" + std::string(125, 'v') + kHiraA + "'"},
        {"remove a form A line with its CR LF", T + "X\r\n" + G + "Y\r\n", {Remove(0)}, InsertForm::AUTO,
         G + "Y\r\n"},
        {"remove a keyword alone on its line, the line with it", "*Title 'X'\n  *Genre 'Y'  \nA c\n", {Remove(1)},
         InsertForm::AUTO, "*Title 'X'\nA c\n"},
        {"remove a keyword that shares its line: only the entry", "*Title 'X' *Genre 'Y'\n", {Remove(1)},
         InsertForm::AUTO, "*Title 'X' \n"},
        {"remove every entry that gives the field a value", T + "A\n*Title 'B'\n" + T + "C\n", {Remove(0)},
         InsertForm::AUTO, ""},
        {"several edits at once", T + "X\n" + G + "Y\n", {Set(0, "T"), Remove(1), Set(2, "Z")}, InsertForm::AUTO,
         T + "T\n" + kComposerLabel + kColon + "Z\n"},
    };
    for (const Case& c : cases) ExpectChange(planner, c);
}

TEST(Planner, EveryFieldInEveryForm) {
    Planner planner;
    for (int row = 0; row < zolehead::kFieldCount; ++row) {
        const zolehead::Identifier& id = zolehead::kIdentifiers[static_cast<std::size_t>(row)];
        const std::string label = std::string(id.label) + kColon;
        const std::string keyword(id.keyword);
        const std::string other = row == 0 ? G + "g\n" : T + "t\n";
        const Case cases[] = {
            {"form A in place", label + "old\n" + other, {Set(row, "new")}, InsertForm::AUTO,
             label + "new\n" + other},
            {"form B in place", "*" + keyword + " 'old'\n" + other, {Set(row, "new")}, InsertForm::AUTO,
             "*" + keyword + " 'new'\n" + other},
            {"added in form A", other, {Set(row, "new")}, InsertForm::A, other + label + "new\n"},
            {"added in form B", other, {Set(row, "new")}, InsertForm::B, other + "*" + keyword + " \"new\"\n"},
            {"removed from form A", label + "old\n" + other, {Remove(row)}, InsertForm::AUTO, other},
            {"removed from form B", "*" + keyword + " 'old'\n" + other, {Remove(row)}, InsertForm::AUTO, other},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(keyword);
            ExpectChange(planner, c);
        }
    }
}

struct Refusal {
    const char* what;
    std::string input;
    std::vector<FieldEdit> edits;
    InsertForm form;
    Problem problem;
    std::string reason_part;
};

TEST(Planner, RefusesWhatItCannotDoSafely) {
    Planner planner;
    const Refusal cases[] = {
        {"a keyword inside a comment line", C + "*Genre 'Rock'\n", {Set(1, "Pop")}, InsertForm::AUTO,
         Problem::NESTED_ENTRY, "inside the value of a Comment"},
        {"the comment line that holds a keyword", C + "*Genre 'Rock'\n", {Set(15, "x")}, InsertForm::AUTO,
         Problem::NESTED_ENTRY, "holds a Genre"},
        {"removing the comment that holds a keyword", C + "*Genre 'Rock'\n", {Remove(15)}, InsertForm::AUTO,
         Problem::NESTED_ENTRY, "holds a Genre"},
        {"a leading blank on a form A line", T + "X\n", {Set(0, " x")}, InsertForm::AUTO, Problem::BAD_VALUE,
         "starts with a blank"},
        {"a trailing full-width space on a form A line", T + "X\n", {Set(0, kXWide)}, InsertForm::AUTO,
         Problem::BAD_VALUE, "81 40"},
        {"a trailing space for a new form A line", T + "X\n", {Set(1, "x ")}, InsertForm::A, Problem::BAD_VALUE,
         "ends in a space"},
        {"both quotes in form B", "*Title 'X'", {Set(0, "'\"")}, InsertForm::AUTO, Problem::BAD_VALUE,
         "both ' and \""},
        {"128 bytes", "*Title 'X'", {Set(0, k128)}, InsertForm::AUTO, Problem::BAD_VALUE,
         "128 bytes"},
        {"126 bytes and a double-byte character", "*Title 'X'", {Set(0, k126Wide)},
         InsertForm::AUTO, Problem::BAD_VALUE, "128 bytes"},
        {"a line feed", "*Title 'X'", {Set(0, "a\nb")}, InsertForm::AUTO, Problem::BAD_VALUE, "line feed"},
        {"the end mark", "*Title 'X'", {Set(0, "a\x1A")}, InsertForm::AUTO, Problem::BAD_VALUE, "end-of-text"},
        {"an empty value", "*Title 'X'", {Set(0, "")}, InsertForm::AUTO, Problem::BAD_VALUE, "use remove"},
        {"a ZIP archive holding Zole text", std::string("PK\x03\x04") + "*Title 'X'", {Set(0, "Y")},
         InsertForm::AUTO, Problem::NOT_ZOLE_TEXT, "ZIP archive"},
        {"an LHA archive", std::string("!!-lh0-") + "*Title 'X'", {Set(0, "Y")}, InsertForm::AUTO,
         Problem::NOT_ZOLE_TEXT, "LHA archive"},
        {"NUL bytes", std::string("*Title 'X'\0\0", 12), {Set(1, "Y")}, InsertForm::AUTO, Problem::NOT_ZOLE_TEXT,
         "NUL"},
        {"a new value inside a comment that would become a keyword", C + "x\n", {Set(15, "*Genre 'Rock'")},
         InsertForm::AUTO, Problem::CHECK_FAILED, "check 3 failed"},
        {"an unclosed quote would swallow the new line", "*Title 'X' *Genre 'open\n", {Set(2, "Z")},
         InsertForm::B, Problem::CHECK_FAILED, "check"},
        {"the same field twice", "", {Set(0, "a"), Remove(0)}, InsertForm::AUTO, Problem::BAD_VALUE,
         "more than once"},
    };
    for (const Refusal& c : cases) {
        const Plan& plan = planner.plan(zh_edit_check::Bytes(c.input), c.edits, c.form);
        ASSERT_EQ(plan.kind, Plan::Kind::REFUSED) << c.what;
        EXPECT_EQ(plan.problem, c.problem) << c.what << ": " << plan.reason;
        EXPECT_NE(plan.reason.find(c.reason_part), std::string::npos) << c.what << ": " << plan.reason;
        EXPECT_TRUE(plan.result.empty() && plan.splices.empty()) << c.what;
    }
}

TEST(Planner, WhatAlreadyReadsAsAskedIsUnchanged) {
    Planner planner;
    const Case cases[] = {
        {"the same value in both forms", T + "X\n*Title 'X'\n", {Set(0, "X")}, InsertForm::AUTO, ""},
        {"removing what is not there, beside an empty line", T + "\n", {Remove(0)}, InsertForm::AUTO, ""},
        {"a keyword inside a comment already right", C + "*Genre 'Rock'\n", {Set(1, "Rock")}, InsertForm::AUTO, ""},
        {"an archive that already reads as asked is not even looked at", "PK\x03\x04*Title 'X'", {Set(0, "X")},
         InsertForm::AUTO, ""},
    };
    for (const Case& c : cases) {
        const Plan& plan = planner.plan(zh_edit_check::Bytes(c.input), c.edits, c.form);
        EXPECT_EQ(plan.kind, Plan::Kind::UNCHANGED) << c.what << ": " << plan.reason;
        EXPECT_FALSE(plan.fields.empty() || plan.fields[0].changed) << c.what;
    }
    // The form A reader reads a different value: not yet as asked.
    const std::string split = T + "A\n*Title 'X'\n";
    EXPECT_EQ(planner.plan(zh_edit_check::Bytes(split), std::vector{Set(0, "X")}, InsertForm::AUTO).kind,
              Plan::Kind::CHANGE);
}

TEST(ValueRules, FormAndBytes) {
    struct Row {
        const char* what;
        std::string value;
        bool form_a_ok;
    };
    const Row rows[] = {
        {"plain", "Sakura", true},
        {"a first byte 0x40 after nothing is no full-width space", "@", true},
        {"inner blanks stay", "a  b", true},
        {"a tab first", "\tx", false},
        {"a full-width space first", kWideSpace + "x", false},
        {"メ then @: bytes 81 40 at the end", "x" + kMe + "@", false},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(zolehead::edit::FormAProblem(r.value).empty(), r.form_a_ok) << r.what;
    }
    EXPECT_EQ(zolehead::edit::FormBQuote("it's", '\''), '"');
    EXPECT_EQ(zolehead::edit::FormBQuote("plain", '\''), '\'');
    EXPECT_EQ(zolehead::edit::FormBQuote("'\"", '"'), 0);
}

}  // namespace
