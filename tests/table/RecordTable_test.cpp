// The record-table engine: cursors, orders, filters, editing, clones, links.

#include "common/Errors.h"
#include "table/RecordTable.h"
#include "table/RowStore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

#include <string>
#include <vector>

using namespace kf;

namespace {

std::vector<TFieldDef> CharFields()
{
    return {{"Name", TFieldType::String, 30},  {"Code", TFieldType::Integer},
            {"KeyNo", TFieldType::Integer},    {"Shift", TFieldType::Boolean},
            {"AltGr", TFieldType::Boolean},    {"Accent", TFieldType::Integer}};
}

std::vector<TFieldDef> WordFields()
{
    return {{"Word", TFieldType::String, 40}, {"Count", TFieldType::Integer}, {"Len", TFieldType::Integer}};
}

// Every row of the cursor's view, walked with First/Next, as one field's text.
std::vector<std::string> Walk(TRecordTable &t, const char *field)
{
    std::vector<std::string> out;
    for (t.First(); !t.Eof(); t.Next())
        out.push_back(t.FieldByName(field).AsString());
    return out;
}

// Rows read by view position without moving the cursor.
std::vector<std::string> ViewOf(const TRecordTable &t, int field)
{
    std::vector<std::string> out;
    for (int i = 0; i < t.RecordCount(); ++i) {
        const TValue v = t.FieldValueAt(i, field);
        out.push_back(v.IsNull() ? "null" : v.kind() == TValue::Kind::Bytes ? v.bytes() : std::to_string(v.integer()));
    }
    return out;
}

using Strings = std::vector<std::string>;

} // namespace

TEST(RecordTable, NullsReadAsZeroEmptyFalseAndNamesMatchWithoutCase)
{
    TRecordTable t(CharFields());
    t.Append();
    t.Post();
    ASSERT_EQ(t.RecordCount(), 1);
    EXPECT_TRUE(t.FieldByName("code").IsNull());
    EXPECT_EQ(t.FieldByName("CODE").AsInteger(), 0);
    EXPECT_EQ(t.FieldByName("name").AsString(), "");
    EXPECT_FALSE(t.FieldByName("shift").AsBoolean());
    EXPECT_THROW(t.FieldByName("Nope"), EDatabaseError);
    try {
        t.FieldByName("Nope");
    } catch (const EDatabaseError &e) {
        EXPECT_STREQ(e.what(), "Field 'Nope' not found");
    }
}

TEST(RecordTable, RequiredFieldRefusesPostAndStaysInEdit)
{
    TRecordTable t({{"Name", TFieldType::String, 20, true}, {"KeyValue", TFieldType::Integer}});
    t.Append();
    t.FieldByName("KeyValue").SetAsInteger(5);
    try {
        t.Post();
        FAIL() << "post accepted";
    } catch (const EDatabaseError &e) {
        EXPECT_STREQ(e.what(), "Field 'Name' must have a value");
    }
    EXPECT_EQ(t.State(), TDataSetState::Insert);
    EXPECT_EQ(t.FieldByName("KeyValue").AsInteger(), 5); // the buffer is kept
    t.FieldByName("Name").SetAsString("");
    EXPECT_THROW(t.Post(), EDatabaseError); // empty text is no value either
    t.FieldByName("Name").SetAsString("Q");
    t.Post();
    EXPECT_EQ(t.State(), TDataSetState::Browse);
    EXPECT_EQ(t.RecordCount(), 1);
}

// AppendRecord and InsertRecord add a whole record or none: a refused one
// leaves the table browsing the row it was on, with no half-made row.
TEST(RecordTable, RefusedAppendRecordLeavesNoRowInInsert)
{
    TRecordTable t({{"Name", TFieldType::String, 20, true}, {"KeyValue", TFieldType::Integer}});
    t.AppendRecord({"A", 1});
    t.AppendRecord({"B", 2});
    t.First();
    EXPECT_THROW(t.AppendRecord({TValue(), 3}), EDatabaseError);
    EXPECT_THROW(t.InsertRecord({"C", "three"}), EConvertError);
    EXPECT_EQ(t.State(), TDataSetState::Browse);
    EXPECT_EQ(t.RecordCount(), 2);
    EXPECT_EQ(t.FieldByName("Name").AsString(), "A");
    EXPECT_EQ(t.ChangeCount(), 2);
    t.AppendRecord({"C", 3}); // the table goes on as before
    EXPECT_EQ(Walk(t, "Name"), (Strings{"A", "B", "C"}));
}

TEST(RecordTable, TextIsCutToWidthAndAtZeroByte)
{
    TRecordTable t(WordFields());
    t.AppendRecord({std::string(45, 'x'), 1, 45});
    EXPECT_EQ(t.FieldByName("Word").AsString(), std::string(40, 'x'));
    t.Edit();
    t.FieldByName("Word").SetAsString(std::string("ab\0cd", 5));
    t.Post();
    EXPECT_EQ(t.FieldByName("Word").AsString(), "ab");
}

TEST(RecordTable, EditOnEmptyTableStartsNewRow)
{
    TRecordTable t(CharFields());
    t.Edit();
    EXPECT_EQ(t.State(), TDataSetState::Insert);
    t.FieldByName("Code").SetAsInteger(65);
    t.Post();
    EXPECT_EQ(t.RecordCount(), 1);
    EXPECT_EQ(t.FieldByName("Code").AsInteger(), 65);
    // With rows, Edit edits the current one.
    t.Edit();
    EXPECT_EQ(t.State(), TDataSetState::Edit);
    t.Cancel();
}

TEST(RecordTable, SettingFieldsOutsideEditIsRefused)
{
    TRecordTable t(CharFields());
    t.AppendRecord({"a", 1});
    EXPECT_THROW(t.FieldByName("Code").SetAsInteger(3), EDatabaseError);
    t.Edit();
    EXPECT_THROW(t.FieldByName("Code").SetAsString("x1"), EConvertError);
    t.FieldByName("Code").SetAsString("-17");
    t.Post();
    EXPECT_EQ(t.FieldByName("Code").AsInteger(), -17);
}

TEST(RecordTable, CancelRestoresRowAndInsertPosition)
{
    TRecordTable t(CharFields());
    t.AppendRecord({"a", 1});
    t.AppendRecord({"b", 2});
    t.First();
    t.Edit();
    t.FieldByName("Name").SetAsString("zz");
    EXPECT_EQ(t.FieldByName("Name").AsString(), "zz");
    t.Cancel();
    EXPECT_EQ(t.FieldByName("Name").AsString(), "a");
    t.Insert();
    EXPECT_EQ(t.RecNo(), -1);
    t.Cancel();
    EXPECT_EQ(t.RecNo(), 1);
    EXPECT_EQ(t.RecordCount(), 2);
}

TEST(RecordTable, NavigationPostsModifiedRowAndDropsUnmodifiedInsert)
{
    TRecordTable t(CharFields());
    t.AppendRecord({"a", 1});
    t.AppendRecord({"b", 2});
    t.First();
    t.Edit();
    t.FieldByName("Code").SetAsInteger(10);
    t.Next();
    EXPECT_EQ(t.State(), TDataSetState::Browse);
    t.First();
    EXPECT_EQ(t.FieldByName("Code").AsInteger(), 10);
    t.Append();
    t.First();
    EXPECT_EQ(t.RecordCount(), 2);
}

TEST(RecordTable, OrdersByFieldListAndNamedIndexWithDescendingField)
{
    TRecordTable t(WordFields());
    t.AddIndex("WordIndex", "Word");
    t.AddIndex("CountIndex", "Count;Word", "Count");
    const std::vector<std::vector<TValue>> rows = {
        {"the", 2, 3}, {"cat", 2, 3}, {"saw", 1, 3}, {"a", 5, 1}, {"zebra", 1, 5}};
    for (const auto &r : rows)
        t.AppendRecord(r);

    struct Case {
        const char *fields;
        const char *index;
        Strings expected;
    } cases[] = {
        {"", "", {"the", "cat", "saw", "a", "zebra"}},
        {"Word", "", {"a", "cat", "saw", "the", "zebra"}},
        {"len;word", "", {"a", "cat", "saw", "the", "zebra"}},
        {"Count", "", {"saw", "zebra", "the", "cat", "a"}}, // equal keys keep stored order
        {"", "CountIndex", {"a", "cat", "the", "saw", "zebra"}},
        {"", "wordindex", {"a", "cat", "saw", "the", "zebra"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.fields) + "/" + c.index);
        if (*c.index)
            t.SetIndexName(c.index);
        else
            t.SetIndexFieldNames(c.fields);
        EXPECT_EQ(Walk(t, "Word"), c.expected);
        EXPECT_EQ(ViewOf(t, 0), c.expected);
    }
    EXPECT_THROW(t.SetIndexName("Nope"), EDatabaseError);
    EXPECT_THROW(t.SetIndexFieldNames("Word;Nope"), EDatabaseError);
    EXPECT_EQ(t.IndexName(), "wordindex"); // a refused order changes nothing
}

TEST(RecordTable, OrderFollowsEditsAndCursorFollowsItsRow)
{
    TRecordTable t(WordFields());
    for (const char *w : {"b", "d", "f"})
        t.AppendRecord({w, 1, 1});
    t.SetIndexFieldNames("Word");
    ASSERT_EQ(ViewOf(t, 0), (Strings{"b", "d", "f"}));
    t.First();
    t.Edit();
    t.FieldByName("Word").SetAsString("e");
    t.Post();
    EXPECT_EQ(ViewOf(t, 0), (Strings{"d", "e", "f"}));
    EXPECT_EQ(t.FieldByName("Word").AsString(), "e");
    EXPECT_EQ(t.RecNo(), 2);
    t.AppendRecord({"a", 1, 1});
    EXPECT_EQ(t.RecNo(), 1);
    EXPECT_EQ(ViewOf(t, 0), (Strings{"a", "d", "e", "f"}));
}

TEST(RecordTable, FindKeyOnCurrentOrder)
{
    TRecordTable t(WordFields());
    t.AddIndex("WordIndex", "Word");
    EXPECT_THROW(t.FindKey({"x"}), EDatabaseError); // no order
    t.SetIndexName("WordIndex");
    for (const char *w : {"pear", "apple", "fig"})
        t.AppendRecord({w, 1, 1});
    t.First();
    EXPECT_TRUE(t.FindKey({"fig"}));
    EXPECT_EQ(t.FieldByName("Word").AsString(), "fig");
    EXPECT_FALSE(t.FindKey({"fi"}));
    EXPECT_EQ(t.FieldByName("Word").AsString(), "fig"); // stays
    // The key is cut to the field width, as stored values are.
    t.AppendRecord({std::string(40, 'k'), 1, 41});
    EXPECT_TRUE(t.FindKey({std::string(41, 'k')}));
    EXPECT_EQ(t.FieldByName("Len").AsInteger(), 41);
}

TEST(RecordTable, LocateOnSeveralFieldsWithNulls)
{
    TRecordTable t(CharFields());
    t.SetIndexFieldNames("Code");
    // Name, Code, KeyNo, Shift, AltGr, Accent
    t.AppendRecord({"B", 66, 5, true, false, 0});
    t.AppendRecord({"b", 98, 5, false, false, 0});
    t.AppendRecord({"a2", 97, 5, false, false, 0}); // lower Code wins over b
    t.AppendRecord({"nokey", 1, TValue(), false, false, 0});
    t.AppendRecord({"nullshift", 2, 7, TValue(), false, 0});

    struct Case {
        std::vector<TValue> values;
        const char *found;
    } cases[] = {
        {{5, false, false, 0}, "a2"},
        {{5, true, false, 0}, "B"},
        {{5, true, true, 0}, nullptr},
        {{TValue(), false, false, 0}, nullptr}, // a null KeyNo is never matched
        {{7, false, false, 0}, nullptr},        // null Shift is not false
        {{"5", 0, false, 0}, "a2"},             // values convert to the field kinds
    };
    t.Last();
    for (const Case &c : cases) {
        t.Last();
        const bool ok = t.Locate("KeyNo;Shift;AltGr;Accent", c.values);
        EXPECT_EQ(ok, c.found != nullptr);
        EXPECT_EQ(t.FieldByName("Name").AsString(), c.found ? c.found : "b"); // stays when not found
    }
    EXPECT_TRUE(t.Locate("Code", {97}));
    EXPECT_EQ(t.FieldByName("Name").AsString(), "a2");
    EXPECT_FALSE(t.Locate("Code", {1000}));
    EXPECT_THROW(t.Locate("Code;KeyNo", {1}), EDatabaseError);
}

TEST(RecordTable, FilterRecordCountAndRecNo)
{
    TRecordTable t(WordFields());
    for (int i = 1; i <= 10; ++i)
        t.AppendRecord({std::string(size_t(i), 'w'), 11 - i, i});
    t.SetFilter("Len>=3 AND Len<=5");
    EXPECT_EQ(t.RecordCount(), 10); // not yet on
    t.SetFiltered(true);
    EXPECT_EQ(t.RecordCount(), 3);
    EXPECT_EQ(t.RecNo(), 1);
    EXPECT_EQ(t.FieldByName("Len").AsInteger(), 3);
    t.SetRecNo(3);
    EXPECT_EQ(t.FieldByName("Len").AsInteger(), 5);
    t.SetRecNo(99);
    EXPECT_EQ(t.RecNo(), 3);
    t.SetIndexFieldNames("Count");
    EXPECT_EQ(ViewOf(t, 2), (Strings{"5", "4", "3"}));
    EXPECT_EQ(t.FieldByName("Len").AsInteger(), 5); // the order kept the current row
    EXPECT_EQ(t.RecNo(), 1);
    // An edit that leaves the filter drops the row from the view.
    t.Edit();
    t.FieldByName("Len").SetAsInteger(9);
    t.Post();
    EXPECT_EQ(t.RecordCount(), 2);
    EXPECT_EQ(t.FieldByName("Len").AsInteger(), 4);
    t.SetFiltered(false);
    EXPECT_EQ(t.RecordCount(), 10);
    EXPECT_EQ(t.Filter(), "Len>=3 AND Len<=5"); // switched off, kept
}

TEST(RecordTable, FilterExpressions)
{
    TRecordTable t(CharFields());
    t.AppendRecord({"a", 97, 5, true});
    t.AppendRecord({"b", 98, 5, false});
    t.AppendRecord({"c", 99, 6, false});
    t.AppendRecord({"d", 100, TValue(), false});
    t.SetFiltered(true);
    struct Case {
        const char *expr;
        int count;
    } cases[] = {
        {"", 4},
        {"KeyNo=5", 2},
        {"keyno = 5 and Code >= 98", 1},
        {"KeyNo=5 OR KeyNo=6", 3},
        {"NOT (KeyNo=5)", 1}, // null KeyNo compares false either way
        {"KeyNo<>5", 1},
        {"Code>98", 2},
        {"Code<98", 1},
        {"Name='c'", 1},
        {"Shift", 1},
        {"Shift=True", 1},
        {"KeyNo=-1", 0},
    };
    for (const Case &c : cases) {
        t.SetFilter(c.expr);
        EXPECT_EQ(t.RecordCount(), c.count) << c.expr;
    }
}

TEST(RecordTable, FilterErrorsChangeNothing)
{
    TRecordTable t(CharFields());
    t.AppendRecord({"a", 97, 5});
    t.AppendRecord({"b", 98, 6});
    t.SetFiltered(true);
    t.SetFilter("KeyNo=5");
    struct Case {
        const char *expr;
        const char *message;
    } cases[] = {
        {"KeyNo=", "Expression expected but nothing found"},
        {"KeyNo=5 AND", "Expression expected but nothing found"},
        {"Nope=1", "Field 'Nope' not found"},
        {"KeyNo 5", "Operator expected but '5' found"},
        {"KeyNo=5)", "End of expression expected but ')' found"},
        {"(KeyNo=5", "')' expected but nothing found"},
        {"Name='x", "Unterminated string in filter expression"},
        {"KeyNo='x'", "Type mismatch in filter expression"},
        {"KeyNo=99999999999", "Invalid number '99999999999' in filter expression"},
    };
    for (const Case &c : cases) {
        try {
            t.SetFilter(c.expr);
            ADD_FAILURE() << c.expr << " accepted";
        } catch (const EDatabaseError &e) {
            EXPECT_STREQ(e.what(), c.message) << c.expr;
        }
        EXPECT_EQ(t.Filter(), "KeyNo=5");
        EXPECT_EQ(t.RecordCount(), 1);
    }
    // Deep nesting is refused, not a stack overflow.
    EXPECT_THROW(t.SetFilter(std::string(100000, '(') + "KeyNo=5"), EDatabaseError);
}

TEST(RecordTable, ClonesShareRowsWithOwnPositionAndStoredOrder)
{
    TRecordTable ctbl(CharFields());
    ctbl.AppendRecord({"c", 99});
    ctbl.AppendRecord({"a", 97});
    ctbl.SetIndexFieldNames("Code");
    ctbl.SetFilter("Code>0");
    ctbl.SetFiltered(true);

    TRecordTable f, dd;
    f.CloneCursor(ctbl);
    dd.CloneCursor(ctbl);
    EXPECT_EQ(f.IndexFieldNames(), "");
    EXPECT_FALSE(f.Filtered());
    EXPECT_EQ(Walk(f, "Name"), (Strings{"c", "a"}));
    EXPECT_EQ(Walk(ctbl, "Name"), (Strings{"a", "c"}));

    // Rows added through any cursor are seen by all; clones list them last.
    ctbl.AppendRecord({"b", 98});
    f.AppendRecord({"z", 1});
    EXPECT_EQ(ViewOf(f, 0), (Strings{"c", "a", "b", "z"}));
    EXPECT_EQ(ViewOf(ctbl, 0), (Strings{"z", "a", "b", "c"}));

    // Own positions.
    f.First();
    ctbl.Last();
    EXPECT_EQ(f.FieldByName("Name").AsString(), "c");
    EXPECT_EQ(ctbl.FieldByName("Name").AsString(), "c");
    dd.SetRecNo(2);
    EXPECT_EQ(dd.FieldByName("Name").AsString(), "a");

    // An edit through one cursor is seen by the others at once.
    dd.Edit();
    dd.FieldByName("Code").SetAsInteger(200);
    dd.Post();
    EXPECT_EQ(ViewOf(ctbl, 0), (Strings{"z", "b", "c", "a"}));
    EXPECT_EQ(ctbl.FieldByName("Name").AsString(), "c");

    // Deleting another cursor's current row moves it to the next one.
    f.First(); // "c"
    ctbl.SetRecNo(3);
    ASSERT_EQ(ctbl.FieldByName("Name").AsString(), "c");
    ctbl.Delete();
    EXPECT_EQ(f.FieldByName("Name").AsString(), "a");
    EXPECT_EQ(ctbl.FieldByName("Name").AsString(), "a");
    EXPECT_EQ(f.RecordCount(), 3);

    // Re-cloning starts afresh: no filter, first row.
    dd.SetFiltered(true);
    dd.SetFilter("Code=1");
    EXPECT_EQ(dd.RecordCount(), 1);
    dd.CloneCursor(ctbl);
    EXPECT_EQ(dd.RecordCount(), 3);
    EXPECT_EQ(dd.Filter(), "");
}

TEST(RecordTable, EmptyDataSetDeletesHiddenRowsToo)
{
    TRecordTable t(WordFields());
    for (int i = 0; i < 5; ++i)
        t.AppendRecord({"w" + std::to_string(i), i, 2});
    t.SetFilter("Count>=3");
    t.SetFiltered(true);
    TBookmark b = t.GetBookmark();
    t.EmptyDataSet();
    EXPECT_EQ(t.RecordCount(), 0);
    t.SetFiltered(false);
    EXPECT_EQ(t.RecordCount(), 0);
    EXPECT_TRUE(t.Eof());
    EXPECT_TRUE(t.Bof());
    EXPECT_FALSE(t.BookmarkValid(b));
    EXPECT_THROW(t.Delete(), EDatabaseError);
    t.AppendRecord({"x", 1, 1});
    EXPECT_EQ(t.RecordCount(), 1);
}

TEST(RecordTable, DeleteWhileWalkingDeletesExactlyTheMatchingRows)
{
    TRecordTable t(WordFields());
    for (const char *w : {"abc1", "abc", "2006", "x9", "zz", "q"})
        t.AppendRecord({w, 1, int32_t(std::string(w).size())});
    t.SetFilter("Len>=2");
    t.SetFiltered(true);
    t.DisableControls();
    t.First();
    while (!t.Eof()) {
        if (t.FieldByName("Word").AsString().find_first_of("0123456789") != std::string::npos)
            t.Delete();
        else
            t.Next();
    }
    t.EnableControls();
    t.SetFiltered(false);
    EXPECT_EQ(Walk(t, "Word"), (Strings{"abc", "zz", "q"}));
}

TEST(RecordTable, BookmarksSurviveReorderingAndGoStaleOnDelete)
{
    TRecordTable t(WordFields());
    for (const char *w : {"m", "c", "x"})
        t.AppendRecord({w, 1, 1});
    t.First();
    t.Next();
    const TBookmark c = t.GetBookmark();
    t.SetIndexFieldNames("Word");
    t.Last();
    t.GotoBookmark(c);
    EXPECT_EQ(t.FieldByName("Word").AsString(), "c");
    EXPECT_EQ(t.RecNo(), 1);
    EXPECT_EQ(t.ViewIndexOf(c), 0);
    t.Delete();
    EXPECT_FALSE(t.BookmarkValid(c));
    EXPECT_THROW(t.GotoBookmark(c), EDatabaseError);
    EXPECT_EQ(t.ViewIndexOf(c), -1);
}

TEST(RecordTable, ChangeLogMergeAndCancel)
{
    TRecordTable t(WordFields());
    EXPECT_TRUE(t.LogChanges());
    t.AppendRecord({"keep", 1, 4});
    t.MergeChangeLog();
    EXPECT_EQ(t.ChangeCount(), 0);
    t.AppendRecord({"new", 1, 3});
    t.First();
    t.Edit();
    t.FieldByName("Count").SetAsInteger(7);
    t.Post();
    EXPECT_EQ(t.ChangeCount(), 2);
    t.CancelUpdates();
    EXPECT_EQ(Walk(t, "Word"), (Strings{"keep"}));
    EXPECT_EQ(t.FieldByName("Count").AsInteger(), 1);
    t.Delete();
    EXPECT_EQ(t.RecordCount(), 0);
    t.CancelUpdates();
    EXPECT_EQ(Walk(t, "Word"), (Strings{"keep"}));
    t.SetLogChanges(false);
    t.AppendRecord({"x", 1, 1});
    EXPECT_EQ(t.ChangeCount(), 0);
}

namespace {

// Records what a data link hears, and checks it against the cursor the way an
// item model would: RecordCount() must move in step with the announcements.
class RecordingLink : public IDataLink {
public:
    std::vector<std::string> log;
    int expectedCount = 0;
    bool inReset = false;

    void DataSetAboutToReset(TRecordTable &) override
    {
        inReset = true;
        log.push_back("aboutToReset");
    }
    void DataSetReset(TRecordTable &t) override
    {
        inReset = false;
        expectedCount = t.RecordCount();
        log.push_back("reset");
    }
    void RowsAboutToBeInserted(TRecordTable &t, int first, int last) override
    {
        EXPECT_EQ(t.RecordCount(), expectedCount) << "count changed before the announcement";
        log.push_back("insert " + std::to_string(first) + "-" + std::to_string(last));
        pending = last - first + 1;
    }
    void RowsInserted(TRecordTable &t, int, int) override
    {
        expectedCount += pending;
        EXPECT_EQ(t.RecordCount(), expectedCount);
    }
    void RowsAboutToBeRemoved(TRecordTable &t, int first, int last) override
    {
        EXPECT_EQ(t.RecordCount(), expectedCount);
        log.push_back("remove " + std::to_string(first) + "-" + std::to_string(last));
        pending = last - first + 1;
    }
    void RowsRemoved(TRecordTable &t, int, int) override
    {
        expectedCount -= pending;
        EXPECT_EQ(t.RecordCount(), expectedCount);
    }
    void RowChanged(TRecordTable &, int i) override { log.push_back("changed " + std::to_string(i)); }
    void CurrentRowChanged(TRecordTable &t) override { log.push_back("current " + std::to_string(t.RecNo())); }
    void StateChanged(TRecordTable &t) override
    {
        log.push_back(std::string("state ") + (t.State() == TDataSetState::Browse ? "browse"
                                               : t.State() == TDataSetState::Edit ? "edit" : "insert"));
    }

private:
    int pending = 0;
};

} // namespace

TEST(RecordTable, DataLinksHearRowChangesInViewPositions)
{
    TRecordTable t(WordFields());
    TRecordTable clone;
    for (const char *w : {"b", "d"})
        t.AppendRecord({w, 1, 1});
    clone.CloneCursor(t);
    t.SetIndexFieldNames("Word");
    RecordingLink link, cloneLink;
    t.AddDataLink(&link);
    clone.AddDataLink(&cloneLink);
    link.expectedCount = t.RecordCount();
    cloneLink.expectedCount = clone.RecordCount();

    clone.AppendRecord({"a", 1, 1}); // sorted first in t, last in the clone
    EXPECT_EQ(link.log, (Strings{"insert 0-0"}));
    EXPECT_EQ(cloneLink.log, (Strings{"state insert", "insert 2-2", "state browse", "current 3"}));

    link.log.clear();
    t.Last();
    ASSERT_EQ(t.FieldByName("Word").AsString(), "d");
    t.Edit();
    t.FieldByName("Count").SetAsInteger(5); // not an order field: changed in place
    t.Post();
    t.Edit();
    t.FieldByName("Word").SetAsString("0"); // moves to the front
    t.Post();
    EXPECT_EQ(link.log, (Strings{"state edit", "changed 2", "state browse", "state edit",
                                 "remove 2-2", "insert 0-0", "state browse", "current 1"}));

    link.log.clear();
    t.Delete();
    EXPECT_EQ(link.log, (Strings{"remove 0-0", "current 1"}));

    link.log.clear();
    t.DisableControls();
    t.AppendRecord({"q", 1, 1});
    t.First();
    t.EnableControls();
    EXPECT_EQ(link.log, (Strings{"aboutToReset", "reset", "state browse", "current 1"}));

    link.log.clear();
    t.SetFiltered(true);
    t.SetFilter("Word='q'");
    EXPECT_EQ(link.log, (Strings{"aboutToReset", "reset", "current 1", "aboutToReset", "reset", "current 1"}));
    EXPECT_EQ(link.expectedCount, 1);
    t.RemoveDataLink(&link);
    clone.RemoveDataLink(&cloneLink);
}

TEST(RecordTable, EventsFire)
{
    TRecordTable t;
    int opened = 0, posted = 0, scrolled = 0;
    t.AfterOpen = [&](TRecordTable &) { ++opened; };
    t.AfterPost = [&](TRecordTable &) { ++posted; };
    t.AfterScroll = [&](TRecordTable &) { ++scrolled; };
    t.BeforePost = [&](TRecordTable &tt) {
        if (tt.FieldByName("Count").AsInteger() < 0)
            throw EDatabaseError("negative");
    };
    t.CreateDataSet(WordFields());
    EXPECT_EQ(opened, 1);
    t.AppendRecord({"a", 1, 1});
    t.AppendRecord({"b", 1, 1});
    EXPECT_EQ(posted, 2);
    scrolled = 0;
    t.First();
    t.Next();
    EXPECT_EQ(scrolled, 2);
    t.Append();
    t.FieldByName("Count").SetAsInteger(-1);
    EXPECT_THROW(t.Post(), EDatabaseError);
    EXPECT_EQ(t.State(), TDataSetState::Insert);
    t.Cancel();
    t.LoadFromBytes(t.SaveToBytes());
    EXPECT_EQ(opened, 2);
}

TEST(RecordTable, ManyRowsKeepViewsConsistent)
{
    // Random edits through three cursors; every view must stay sorted, filtered
    // and complete.
    TRecordTable t(WordFields());
    TRecordTable byCount, filtered;
    byCount.CloneCursor(t);
    filtered.CloneCursor(t);
    t.SetIndexFieldNames("Word");
    byCount.AddIndex("CountIndex", "Count;Word", "Count");
    byCount.SetIndexName("CountIndex");
    filtered.SetFilter("Len>=3 AND Len<=5");
    filtered.SetFiltered(true);
    t.SetLogChanges(false);
    uint32_t seed = 12345;
    auto rnd = [&](uint32_t n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % n;
    };
    for (int step = 0; step < 3000; ++step) {
        TRecordTable &c = step % 3 == 0 ? t : step % 3 == 1 ? byCount : filtered;
        const uint32_t op = rnd(10);
        if (op < 5 || c.RecordCount() == 0) {
            const std::string w(1 + rnd(7), char('a' + rnd(5)));
            c.AppendRecord({w, int32_t(rnd(20)), int32_t(w.size())});
        } else if (op < 8) {
            c.SetRecNo(1 + int(rnd(uint32_t(c.RecordCount()))));
            c.Edit();
            c.FieldByName("Count").SetAsInteger(int32_t(rnd(20)));
            if (rnd(2))
                c.FieldByName("Len").SetAsInteger(int32_t(rnd(8)));
            c.Post();
        } else {
            c.SetRecNo(1 + int(rnd(uint32_t(c.RecordCount()))));
            c.Delete();
        }
        if (step % 100 == 0) {
            t.SetIndexFieldNames(step % 200 ? "Word" : "len;word"); // rebuild now and then
        }
    }
    // Compare each incremental view with a freshly built one.
    auto snapshot = [](TRecordTable &c) {
        std::vector<std::string> rows;
        for (int i = 0; i < c.RecordCount(); ++i)
            rows.push_back(c.FieldValueAt(i, 0).bytes() + "/" + std::to_string(c.FieldValueAt(i, 1).integer()) +
                           "/" + std::to_string(c.FieldValueAt(i, 2).integer()));
        return rows;
    };
    for (TRecordTable *c : {&t, &byCount, &filtered}) {
        const auto incremental = snapshot(*c);
        const std::string f = c->Filter();
        c->SetFiltered(!c->Filtered());
        c->SetFiltered(!c->Filtered()); // forces a rebuild
        EXPECT_EQ(snapshot(*c), incremental);
    }
    EXPECT_EQ(t.RecordCount(), byCount.RecordCount());
}

TEST(RecordTable, AppendRowsFromCells)
{
    TRecordTable t({{"Name", TFieldType::String, 5, true},
                    {"Code", TFieldType::Integer},
                    {"Flag", TFieldType::Boolean},
                    {"Glyph", TFieldType::Graphic}});
    RecordingLink link; // outlives the cursor it listens to
    TRecordTable byName;
    byName.CloneCursor(t);
    byName.SetIndexFieldNames("Name");
    byName.AddDataLink(&link);
    // Cells are converted as stored values are: text cut at a zero byte and
    // to the width, booleans 0/1, an empty picture null; untouched cells null.
    struct In {
        std::string name;
        int32_t code;
        bool codeNull;
        int32_t flag;
        std::string glyph;
    };
    const std::vector<In> rows = {{"zebra-crossing", 7, false, 5, "BM"},
                                  {std::string("ab\0cd", 5), 0, true, 0, ""},
                                  {"", 1, false, 1, "x"}, // refused: Name is required
                                  {"late", 2, false, 0, ""}};
    EXPECT_THROW(t.AppendRows(rows.size(),
                              [&](size_t i, TCell *c) {
                                  c[0] = TCell::Bytes(rows[i].name);
                                  if (!rows[i].codeNull)
                                      c[1] = TCell::Integer(rows[i].code);
                                  c[2] = TCell::Integer(rows[i].flag);
                                  c[3] = TCell::Bytes(rows[i].glyph);
                              }),
                 EDatabaseError);
    EXPECT_EQ(link.log, (Strings{"aboutToReset", "reset", "current 1"}));
    ASSERT_EQ(t.RecordCount(), 2); // the rows before the refused one stay
    EXPECT_EQ(ViewOf(byName, 0), (Strings{"ab", "zebra"}));
    EXPECT_EQ(t.ChangeCount(), 2); // logged like appended rows
    EXPECT_EQ(t.FieldValueAt(0, 1).integer(), 7);
    EXPECT_TRUE(t.FieldValueAt(1, 1).IsNull());
    EXPECT_EQ(t.FieldValueAt(0, 2).kind(), TValue::Kind::Boolean);
    EXPECT_TRUE(t.FieldValueAt(0, 2).boolean());
    EXPECT_FALSE(t.FieldValueAt(1, 2).boolean());
    EXPECT_EQ(t.FieldBytesAt(0, 3), "BM");
    EXPECT_TRUE(t.FieldValueAt(1, 3).IsNull());
    EXPECT_EQ(t.FieldBytesAt(1, 3), "");
    EXPECT_EQ(t.FieldBytesAt(1, 0), "ab");
    EXPECT_THROW(t.FieldBytesAt(0, 1), EDatabaseError); // not a text field
    EXPECT_THROW(t.FieldBytesAt(2, 0), EListError);

    // Many rows go in batches: a refusal deep in keeps every row before it,
    // and a round trip through a packet shows the columns stayed in step.
    TRecordTable req({{"Word", TFieldType::String, 40, true}, {"Count", TFieldType::Integer}});
    std::vector<std::string> words(1000);
    for (size_t i = 0; i < words.size(); ++i)
        words[i] = i == 700 ? std::string() : "w" + std::to_string(i);
    EXPECT_THROW(req.AppendRows(words.size(),
                                [&](size_t i, TCell *c) {
                                    c[0] = TCell::Bytes(words[i]);
                                    c[1] = TCell::Integer(int32_t(i));
                                }),
                 EDatabaseError);
    ASSERT_EQ(req.RecordCount(), 700);
    TRecordTable copy;
    copy.LoadFromBytes(req.SaveToBytes());
    ASSERT_EQ(copy.RecordCount(), 700);
    EXPECT_EQ(copy.FieldValueAt(699, 0).bytes(), "w699");
    EXPECT_EQ(copy.FieldValueAt(699, 1).integer(), 699);
    EXPECT_EQ(copy.FieldValueAt(256, 0).bytes(), "w256");
}

TEST(RecordTable, AppendRecordsInBulkAndWriteByBookmark)
{
    TRecordTable t(WordFields());
    TRecordTable byWord;
    byWord.CloneCursor(t);
    byWord.SetIndexFieldNames("Word");
    t.SetLogChanges(false);
    RecordingLink link;
    byWord.AddDataLink(&link);
    t.AppendRecords({{"pear", 1, 4}, {"apple", 2, 5}, {std::string(41, 'k'), 1, 41}});
    EXPECT_EQ(link.log, (Strings{"aboutToReset", "reset", "current 1"}));
    EXPECT_EQ(ViewOf(byWord, 0), (Strings{"apple", std::string(40, 'k'), "pear"}));
    EXPECT_EQ(t.ChangeCount(), 0);
    EXPECT_EQ(t.RecNo(), 1); // the empty table's cursor is on the first row now

    // A refused row keeps the rows before it.
    TRecordTable req({{"Name", TFieldType::String, 5, true}});
    EXPECT_THROW(req.AppendRecords({{"a"}, {""}, {"c"}}), EDatabaseError);
    EXPECT_EQ(req.RecordCount(), 1);

    // Writing by bookmark moves no cursor; ordered views follow.
    byWord.First();
    ASSERT_TRUE(byWord.FindKey({"pear"}));
    const TBookmark pear = byWord.GetBookmark();
    byWord.First();
    link.log.clear();
    byWord.SetBookmarkValue(pear, 1, 10);
    EXPECT_EQ(link.log, (Strings{"changed 2"}));
    byWord.SetBookmarkValue(pear, 0, "aa");
    EXPECT_EQ(ViewOf(byWord, 0), (Strings{"aa", "apple", std::string(40, 'k')}));
    EXPECT_EQ(byWord.FieldByName("Word").AsString(), "apple"); // still on the same row
    EXPECT_EQ(byWord.RecNo(), 2);
    EXPECT_EQ(t.BookmarkValue(pear, 1).integer(), 10);
    EXPECT_THROW(byWord.SetBookmarkValue(TBookmark{}, 1, 1), EDatabaseError);
    EXPECT_THROW(byWord.SetBookmarkValue(pear, 1, "x"), EConvertError);
    byWord.RemoveDataLink(&link);
}

namespace {

// A control with a value not yet written into the edit buffer.
class PendingValueLink : public IDataLink {
public:
    std::string pending;
    int asked = 0;
    void UpdateData(TRecordTable &t) override
    {
        ++asked;
        if (!pending.empty())
            t.FieldByName("Word").SetAsString(pending);
    }
};

} // namespace

TEST(RecordTable, LinksWritePendingValuesBeforePostAndInsertPositionIsKnown)
{
    TRecordTable t(WordFields());
    t.AppendRecord({"a", 1, 1});
    t.AppendRecord({"b", 1, 1});
    PendingValueLink link;
    t.AddDataLink(&link);
    t.First();
    t.Edit();
    link.pending = "changed";
    t.Next(); // posts through CheckBrowseMode: the link is asked once
    EXPECT_EQ(link.asked, 1);
    t.First();
    EXPECT_EQ(t.FieldByName("Word").AsString(), "changed");

    link.pending.clear();
    t.SetRecNo(2);
    t.Insert();
    EXPECT_EQ(t.InsertPosition(), 1);
    t.Cancel();
    t.Append();
    EXPECT_EQ(t.InsertPosition(), 2);
    t.Cancel();
    EXPECT_EQ(t.InsertPosition(), -1);
    t.RemoveDataLink(&link);
}

namespace {

// A link that answers a row announcement by changing rows, which is refused.
class MeddlingLink : public IDataLink {
public:
    void RowsInserted(TRecordTable &t, int, int) override { t.AppendRecord({"again", 1, 1}); }
};

} // namespace

TEST(RecordTable, ChangesFromRowAnnouncementsAreRefusedAndViewsStayWhole)
{
    TRecordTable t(WordFields());
    TRecordTable other;
    other.CloneCursor(t);
    other.SetIndexFieldNames("Word");
    t.AppendRecord({"b", 1, 1});
    MeddlingLink link;
    t.AddDataLink(&link);
    EXPECT_THROW(t.AppendRecord({"a", 1, 1}), EDatabaseError);
    t.RemoveDataLink(&link);
    // The row was stored before the refusal; every cursor sees it once.
    EXPECT_EQ(ViewOf(t, 0), (Strings{"b", "a"}));
    EXPECT_EQ(ViewOf(other, 0), (Strings{"a", "b"}));
}

// Built views must hold exactly the order of the plain comparison (each key
// part by CompareCells, descending parts inverted, fully equal rows by stored
// order) on data full of ties, nulls and texts sharing long prefixes.
TEST(RecordTable, SortedViewsMatchPlainComparisonOnTiesNullsAndSharedPrefixes)
{
    TRecordTable t({{"Text", TFieldType::String, 20}, {"A", TFieldType::Integer},
                    {"B", TFieldType::Integer}, {"Flag", TFieldType::Boolean},
                    {"Pic", TFieldType::Graphic}});
    const std::vector<TValue> texts = {TValue(), "", "a", "abcdefgh", "abcdefghi", "abcdefghij",
                                       "abcdefghik", "abcdefgH", "abcdefg", "\xff\xfe", "\x80",
                                       "abcdefghijklmnop", "abcdefghijklmnoq", "zz"};
    const std::vector<TValue> ints = {TValue(), int32_t(INT32_MIN), int32_t(-1), int32_t(0),
                                      int32_t(1), int32_t(7), int32_t(INT32_MAX)};
    uint32_t seed = 12345;
    auto rnd = [&seed](uint32_t n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % n;
    };
    // Enough rows for the bucketed sort, which narrow integer keys (B, Flag)
    // share with the start of the next key.
    std::vector<std::vector<TValue>> rows;
    for (int i = 0; i < 20000; ++i) {
        rows.push_back({texts[rnd(uint32_t(texts.size()))], ints[rnd(uint32_t(ints.size()))],
                        ints[rnd(3)], rnd(3) == 0 ? TValue() : TValue(rnd(2) == 1),
                        texts[rnd(uint32_t(texts.size()))]});
    }
    t.AppendRecords(rows);
    // A few deleted rows leave gaps in the slots.
    t.First();
    for (int i = 0; i < 5; ++i) {
        t.MoveBy(37);
        t.Delete();
    }

    std::vector<TBookmark> stored;
    for (int i = 0; i < t.RecordCount(); ++i)
        stored.push_back(t.RowAt(i));

    struct Case {
        const char *fields;
        const char *desc; // nullptr: SetIndexFieldNames
    };
    const std::vector<Case> cases = {
        {"Text", nullptr},        {"A", nullptr},          {"Text", "Text"},
        {"A;Text", "A"},          {"Text;A", "Text"},      {"B;Text;A", "Text"},
        {"Flag;B;Text", "B"},     {"Pic;Text", "Pic"},     {"B;Flag;A;Text", "Flag;Text"},
        {"B;Flag;A;Pic;Text", "A;Text"}, {"Text;Pic", nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.fields) + " desc " + (c.desc ? c.desc : "-"));
        std::vector<std::pair<int, bool>> parts;
        std::string list = c.fields, descList = c.desc ? c.desc : "";
        for (size_t start = 0; start <= list.size();) {
            size_t end = list.find(';', start);
            if (end == std::string::npos)
                end = list.size();
            const std::string name = list.substr(start, end - start);
            const bool desc = (";" + descList + ";").find(";" + name + ";") != std::string::npos;
            parts.push_back({t.FindFieldIndex(name), desc});
            start = end + 1;
        }
        if (c.desc) {
            const std::string name = std::string("I_") + c.fields + c.desc;
            t.AddIndex(name, c.fields, c.desc);
            t.SetIndexName(name);
        } else {
            t.SetIndexFieldNames(c.fields);
        }
        std::vector<TBookmark> expect = stored;
        std::stable_sort(expect.begin(), expect.end(), [&](const TBookmark &a, const TBookmark &b) {
            for (const auto &p : parts) {
                const TValue va = t.BookmarkValue(a, p.first), vb = t.BookmarkValue(b, p.first);
                const int r = CompareCells(CellOf(va), CellOf(vb), t.FieldDefs()[p.first].DataType);
                if (r)
                    return p.second ? r > 0 : r < 0;
            }
            return a.Row < b.Row;
        });
        ASSERT_EQ(t.RecordCount(), int(expect.size()));
        for (int i = 0; i < t.RecordCount(); ++i)
            ASSERT_EQ(t.RowAt(i).Row, expect[size_t(i)].Row) << "view position " << i;
    }
}

// Deleting many rows at once leaves every cursor where deleting them one by
// one leaves it (views, current rows, change log), in one reset.
TEST(RecordTable, DeleteRecordsMatchesDeletingOneByOne)
{
    struct Case {
        const char *name;
        const char *order;     // SetIndexFieldNames of the first cursor
        const char *filter;    // of the first cursor; "" for none
        std::vector<int> pick; // view positions (first cursor) to delete, in this order
        int current;           // the clone's current view position
    };
    const std::vector<Case> cases = {
        {"some rows, clone on one of them", "Count;Word", "", {3, 0, 7, 19}, 7},
        {"the tail, clone on the last", "Len;Word", "", {16, 17, 18, 19}, 19},
        {"duplicates and a filter", "Word", "Len>=2", {1, 1, 4, 2, 4}, 0},
        {"every row", "", "", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19}, 5},
    };
    auto fill = [](TRecordTable &t, TRecordTable &clone) {
        t.CreateDataSet(WordFields());
        for (int i = 0; i < 20; ++i) {
            const std::string w = std::string(size_t(1 + i % 3), char('a' + (i * 7) % 20));
            t.AppendRecord({w, int32_t(i % 4), int32_t(w.size())});
        }
        t.MergeChangeLog();
        clone.CloneCursor(t);
        clone.SetIndexFieldNames("Word;Count");
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TRecordTable one, oneClone, bulk, bulkClone;
        fill(one, oneClone);
        fill(bulk, bulkClone);
        for (TRecordTable *t : {&one, &bulk}) {
            t->SetIndexFieldNames(c.order);
            if (*c.filter) {
                t->SetFilter(c.filter);
                t->SetFiltered(true);
            }
        }
        oneClone.SetRecNo(c.current + 1);
        bulkClone.SetRecNo(c.current + 1);
        std::vector<TBookmark> marks;
        for (int p : c.pick)
            marks.push_back(one.RowAt(p));
        ASSERT_EQ(bulk.RowAt(c.pick[0]), marks[0]);

        TBookmark lastDeleted;
        for (const TBookmark &b : marks) {
            if (!one.BookmarkValid(b))
                continue;
            one.GotoBookmark(b);
            one.Delete();
            lastDeleted = b;
        }
        RecordingLink link;
        bulk.AddDataLink(&link);
        bulk.GotoBookmark(lastDeleted);
        link.log.clear();
        bulk.DeleteRecords(marks);
        bulk.RemoveDataLink(&link);
        ASSERT_FALSE(link.log.empty());
        EXPECT_EQ(link.log[0], "aboutToReset");
        EXPECT_EQ(std::count(link.log.begin(), link.log.end(), "reset"), 1);

        EXPECT_EQ(ViewOf(bulk, 0), ViewOf(one, 0));
        EXPECT_EQ(ViewOf(bulkClone, 0), ViewOf(oneClone, 0));
        EXPECT_EQ(bulk.GetBookmark(), one.GetBookmark());
        EXPECT_EQ(bulk.Eof(), one.Eof());
        EXPECT_EQ(bulkClone.GetBookmark(), oneClone.GetBookmark());
        EXPECT_EQ(bulkClone.RecNo(), oneClone.RecNo());
        EXPECT_EQ(bulk.ChangeCount(), one.ChangeCount());
        bulk.CancelUpdates();
        EXPECT_EQ(bulkClone.RecordCount(), 20);
        EXPECT_EQ(Walk(bulkClone, "Word"), (one.CancelUpdates(), Walk(oneClone, "Word")));
    }
}

TEST(RecordTable, DeleteRecordsRefusesStaleBookmarksAndDeletesNothing)
{
    TRecordTable t(WordFields());
    for (const char *w : {"a", "b", "c"})
        t.AppendRecord({w, 1, 1});
    t.First();
    const TBookmark a = t.GetBookmark();
    t.Next();
    const TBookmark b = t.GetBookmark();
    t.Delete();
    EXPECT_THROW(t.DeleteRecords({a, b}), EDatabaseError);
    EXPECT_THROW(t.DeleteRecords({a, TBookmark()}), EDatabaseError);
    EXPECT_EQ(Walk(t, "Word"), (Strings{"a", "c"}));
    t.DeleteRecords({});
    EXPECT_EQ(t.RecordCount(), 2);
}

namespace {

// A link that undoes every logged change while a row is being announced
// (which is refused), or that fails once while rows are being removed or
// changed.
class UndoingLink : public IDataLink {
public:
    bool undoOnInsert = false;
    bool failOnRemove = false;
    bool failOnChange = false;
    void RowChanged(TRecordTable &, int) override
    {
        if (failOnChange) {
            failOnChange = false;
            throw EDatabaseError("link failed");
        }
    }
    void RowsInserted(TRecordTable &t, int, int) override
    {
        if (undoOnInsert)
            t.CancelUpdates();
    }
    void RowsAboutToBeRemoved(TRecordTable &, int, int) override
    {
        if (failOnRemove) {
            failOnRemove = false;
            throw EDatabaseError("link failed");
        }
    }
};

} // namespace

// Changes that CancelUpdates does not undo stay in the log, whether it was
// refused outright or stopped halfway; a later CancelUpdates undoes them.
TEST(RecordTable, CancelUpdatesKeepsTheChangesItDidNotUndo)
{
    TRecordTable t(WordFields());
    t.AppendRecord({"keep", 1, 4});
    t.MergeChangeLog();
    t.AppendRecord({"x", 1, 1});
    t.First();
    t.Edit();
    t.FieldByName("Count").SetAsInteger(9);
    t.Post();
    ASSERT_EQ(t.ChangeCount(), 2);

    UndoingLink link;
    t.AddDataLink(&link);
    // Refused: it would change rows while the append is announced. The row
    // was stored before, so the post stands and is not made twice.
    link.undoOnInsert = true;
    EXPECT_THROW(t.AppendRecord({"y", 1, 1}), EDatabaseError);
    link.undoOnInsert = false;
    EXPECT_EQ(t.State(), TDataSetState::Browse);
    EXPECT_EQ(t.ChangeCount(), 3);
    EXPECT_EQ(Walk(t, "Word"), (Strings{"keep", "x", "y"}));

    // Stopped by a failing link at the first row it removes ("y", the last
    // change): that change is undone, the two before it stay logged.
    link.failOnRemove = true;
    EXPECT_THROW(t.CancelUpdates(), EDatabaseError);
    EXPECT_EQ(t.ChangeCount(), 2);
    EXPECT_EQ(Walk(t, "Word"), (Strings{"keep", "x"}));

    t.CancelUpdates();
    EXPECT_EQ(t.ChangeCount(), 0);
    EXPECT_EQ(Walk(t, "Word"), (Strings{"keep"}));
    t.First();
    EXPECT_EQ(t.FieldByName("Count").AsInteger(), 1);

    // A change whose announcement fails is stored, and logged.
    t.Edit();
    t.FieldByName("Count").SetAsInteger(5);
    link.failOnChange = true;
    EXPECT_THROW(t.Post(), EDatabaseError);
    EXPECT_EQ(t.State(), TDataSetState::Browse);
    EXPECT_EQ(t.FieldByName("Count").AsInteger(), 5);
    EXPECT_EQ(t.ChangeCount(), 1);
    t.CancelUpdates();
    EXPECT_EQ(t.FieldByName("Count").AsInteger(), 1);
    t.RemoveDataLink(&link);
}

namespace {

// A link that refuses every reset of its table.
class RefusingLink : public IDataLink {
public:
    void DataSetAboutToReset(TRecordTable &) override { throw EDatabaseError("link refused"); }
};

} // namespace

// A table takes over another's rows as a load would (fixed fields kept, text
// cut to a narrowed width); the source keeps its fields without rows, and
// keeps its rows when the load fails.
TEST(RecordTable, LoadFromTableTakesTheRowsOfAnotherTable)
{
    TRecordTable source({{"Word", TFieldType::String, 40}, {"Count", TFieldType::Integer}});
    source.AppendRecord({"banana", 2});
    source.AppendRecord({"apple", 1});
    TRecordTable sourceClone;
    sourceClone.CloneCursor(source);
    RecordingLink sourceLink;
    sourceClone.AddDataLink(&sourceLink);

    TRecordTable target(WordFields());
    target.SetFixedFields({{"word", TFieldType::String, 3, true}});
    target.AppendRecord({"old", 1, 1});
    target.SetIndexFieldNames("Word");
    TRecordTable targetClone;
    targetClone.CloneCursor(target);
    int opened = 0;
    target.AfterOpen = [&](TRecordTable &) { ++opened; };

    target.LoadFromTable(source);
    EXPECT_EQ(opened, 1);
    ASSERT_EQ(target.FieldCount(), 2);
    EXPECT_EQ(target.FieldDefs()[0].Size, 3);
    EXPECT_TRUE(target.FieldDefs()[0].Required);
    EXPECT_EQ(target.IndexFieldNames(), "Word");
    EXPECT_EQ(Walk(target, "Word"), (Strings{"app", "ban"}));
    EXPECT_EQ(ViewOf(targetClone, 0), (Strings{"ban", "app"}));
    EXPECT_EQ(target.ChangeCount(), 0);

    EXPECT_TRUE(source.Active());
    EXPECT_EQ(source.FieldCount(), 2);
    EXPECT_EQ(source.RecordCount(), 0);
    EXPECT_EQ(sourceClone.RecordCount(), 0);
    EXPECT_EQ(sourceLink.log, (Strings{"aboutToReset", "reset", "current 0"}));
    source.AppendRecord({"cherry", 3});
    EXPECT_EQ(ViewOf(sourceClone, 0), (Strings{"cherry"}));

    // Refused: a closed source, a source on the same rows.
    TRecordTable closed;
    EXPECT_THROW(target.LoadFromTable(closed), EDatabaseError);
    EXPECT_THROW(target.LoadFromTable(targetClone), EDatabaseError);
    EXPECT_EQ(target.RecordCount(), 2);

    // The target's link refuses the load: the rows stay with the source.
    RefusingLink refusing;
    target.AddDataLink(&refusing);
    EXPECT_THROW(target.LoadFromTable(source), EDatabaseError);
    target.RemoveDataLink(&refusing);
    EXPECT_EQ(Walk(source, "Word"), (Strings{"cherry"}));
    EXPECT_EQ(Walk(target, "Word"), (Strings{"app", "ban"}));
    sourceClone.RemoveDataLink(&sourceLink);
}

namespace {

// Keeps what a table reports, one entry per operation.
struct ChangeRecorder : IRowChangeObserver {
    std::vector<std::vector<TRowChange>> batches;
    void RowsChanged(TRecordTable &, std::vector<TRowChange> changes) override
    {
        batches.push_back(std::move(changes));
    }
};

} // namespace

// The observer hears each operation once, through any cursor of the store,
// with the row's values before and after; a clone without an observer hears
// nothing, and logging off changes nothing of it.
TEST(RecordTable, ReportsCommittedChangesToItsObserver)
{
    TRecordTable t(WordFields());
    ChangeRecorder rec;
    t.SetChangeObserver(&rec);
    TRecordTable clone;
    clone.CloneCursor(t);
    t.SetLogChanges(false);
    clone.AppendRecord({"one", 1, 3});
    clone.AppendRecords({{"two", 2, 3}, {"three", 3, 5}});
    clone.First();
    clone.Edit();
    clone.FieldByName("Count").SetAsInteger(9);
    clone.Post();
    clone.Delete();
    t.EmptyDataSet();
    ASSERT_EQ(rec.batches.size(), 5u);
    EXPECT_EQ(rec.batches[0].size(), 1u);
    EXPECT_EQ(rec.batches[0][0].kind, TRowChange::Kind::Insert);
    EXPECT_EQ(rec.batches[0][0].after[0].bytes(), "one");
    EXPECT_EQ(rec.batches[1].size(), 2u); // one bulk append, one report
    const TRowChange &modify = rec.batches[2][0];
    EXPECT_EQ(modify.kind, TRowChange::Kind::Modify);
    EXPECT_EQ(modify.before[1].integer(), 1);
    EXPECT_EQ(modify.after[1].integer(), 9);
    EXPECT_EQ(rec.batches[3][0].kind, TRowChange::Kind::Delete);
    EXPECT_EQ(rec.batches[3][0].before[0].bytes(), "one");
    EXPECT_EQ(rec.batches[4][0].kind, TRowChange::Kind::Replace);
    EXPECT_EQ(t.ChangeCount(), 0);
}

// Reverting the newest change takes it out of the log; reverting an older one
// logs the revert, so CancelUpdates still goes back to the last merge.
// Neither is reported again; reapplying brings the row back in its slot.
TEST(RecordTable, RevertAndReapplyKeepTheLogTrue)
{
    TRecordTable t(WordFields());
    t.AppendRecords({{"a", 1, 1}, {"b", 2, 1}});
    t.MergeChangeLog();
    ChangeRecorder rec;
    t.SetChangeObserver(&rec);
    t.First();
    t.Edit();
    t.FieldByName("Count").SetAsInteger(5);
    t.Post();
    t.AppendRecord({"c", 3, 1});
    t.First();
    t.Delete();
    ASSERT_EQ(rec.batches.size(), 3u);
    ASSERT_EQ(t.ChangeCount(), 3);

    t.RevertChange(rec.batches[2][0]); // the newest: "a" comes back
    EXPECT_EQ(t.ChangeCount(), 2);
    EXPECT_EQ(Walk(t, "Word"), (Strings{"a", "b", "c"}));
    t.RevertChange(rec.batches[1][0]); // the insert of "c", now the newest
    EXPECT_EQ(t.ChangeCount(), 1);
    t.ReapplyChange(rec.batches[1][0]);
    EXPECT_EQ(Walk(t, "Word"), (Strings{"a", "b", "c"}));
    EXPECT_EQ(t.ChangeCount(), 2);
    t.RevertChange(rec.batches[0][0]); // older than the reapplied insert: logged
    EXPECT_EQ(t.ChangeCount(), 3);
    t.First();
    EXPECT_EQ(t.FieldByName("Count").AsInteger(), 1);
    EXPECT_EQ(rec.batches.size(), 3u);

    t.CancelUpdates();
    EXPECT_EQ(Walk(t, "Word"), (Strings{"a", "b"}));
    EXPECT_EQ(t.FieldByName("Count").AsInteger(), 2);
}

// A change that does not fit the rows (its slot was never there) is refused
// and changes nothing.
TEST(RecordTable, RevertOfAChangeThatDoesNotFitIsRefused)
{
    TRecordTable t(WordFields());
    t.AppendRecord({"a", 1, 1});
    TRowChange change;
    change.kind = TRowChange::Kind::Modify;
    change.row = 7;
    change.before = {TValue(std::string("x")), TValue(1), TValue(1)};
    change.after = change.before;
    EXPECT_THROW(t.RevertChange(change), EDatabaseError);
    change.row = 0;
    change.before.pop_back(); // a value short
    EXPECT_THROW(t.RevertChange(change), EDatabaseError);
    EXPECT_EQ(Walk(t, "Word"), (Strings{"a"}));
}
