#include "model/DefinitionHistory.h"

#include "SavedPackage.h"
#include "model/MainData.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

using kf::TDataMod;
using kf::TDefinitionHistory;
using kf::TRecordTable;
using kf::TValue;
using kf::support::SavedMembers;

namespace {

void addKey(TDataMod &dm, const std::string &name, int32_t value, int32_t x)
{
    dm.MainTbl.AppendRecord({name, value, 1, TValue(), 3, TValue(), 40, 38, x, 10, "hint " + name});
}

void addChar(TDataMod &dm, const std::string &name, int32_t code, int32_t keyNo)
{
    dm.Ctbl.AppendRecord({name, code, keyNo, false, false, 0});
}

// A small definition as if just loaded: three keys, four characters, one of
// them deleted before the load's end, so that the slots have a gap.
void fill(TDataMod &dm)
{
    addKey(dm, "A", 65, 0);
    addKey(dm, "B", 66, 40);
    addKey(dm, "C", 67, 80);
    addChar(dm, "a normal", 97, 65);
    addChar(dm, "b normal", 98, 66);
    addChar(dm, "gone", 120, 0);
    addChar(dm, "c normal", 99, 67);
    ASSERT_TRUE(dm.Ctbl.Locate("Name", {TValue(std::string("gone"))}));
    dm.Ctbl.Delete();
    dm.History().Clear();
}

void locateKey(TDataMod &dm, const char *name)
{
    ASSERT_TRUE(dm.MainTbl.Locate("Name", {TValue(std::string(name))}));
}

void locateChar(TDataMod &dm, const char *name)
{
    ASSERT_TRUE(dm.Ctbl.Locate("Name", {TValue(std::string(name))}));
}

struct StepCase {
    const char *name;
    const char *undoText; // the step's name
    std::function<void(TDataMod &)> act;
};

std::ostream &operator<<(std::ostream &out, const StepCase &c)
{
    return out << c.name;
}

class HistoryStep : public ::testing::TestWithParam<StepCase> {};

// Every kind of step: done, undone, redone, undone again; the saved bytes
// are those before the step after each undo and those after it after redo.
TEST_P(HistoryStep, UndoGivesTheBytesBeforeAndRedoThoseAfter)
{
    TDataMod dm;
    fill(dm);
    const std::string before = SavedMembers(dm);
    GetParam().act(dm);
    const std::string after = SavedMembers(dm);
    ASSERT_NE(before, after);
    TDefinitionHistory &h = dm.History();
    ASSERT_EQ(h.Count(), 1);
    EXPECT_EQ(h.UndoText().toStdString(), GetParam().undoText);
    EXPECT_FALSE(h.IsSaved());

    h.Undo();
    EXPECT_EQ(SavedMembers(dm), before);
    EXPECT_TRUE(h.IsSaved()); // back where it was loaded
    EXPECT_EQ(h.RedoText().toStdString(), GetParam().undoText);
    h.Redo();
    EXPECT_EQ(SavedMembers(dm), after);
    h.Undo();
    EXPECT_EQ(SavedMembers(dm), before);
    EXPECT_EQ(h.Count(), 1); // undo and redo record nothing new
}

INSTANTIATE_TEST_SUITE_P(
    Steps, HistoryStep,
    ::testing::Values(
        StepCase{"EditRow", "edit of row 'a normal'",
                 [](TDataMod &dm) {
                     locateChar(dm, "a normal");
                     dm.Ctbl.Edit();
                     dm.Ctbl.FieldByName("Code").SetAsInteger(225);
                     dm.Ctbl.Post();
                 }},
        StepCase{"MoveKey", "move key B",
                 [](TDataMod &dm) {
                     locateKey(dm, "B");
                     dm.MainTbl.Edit();
                     dm.MainTbl.FieldByName("X").SetAsInteger(200);
                     dm.MainTbl.FieldByName("Y").SetAsInteger(90);
                     dm.MainTbl.Post();
                 }},
        StepCase{"KeyPicture", "key picture",
                 [](TDataMod &dm) {
                     locateKey(dm, "A");
                     dm.MainTbl.Edit();
                     dm.MainTbl.FieldByName("Glyph").SetAsBytes(std::string("\x01\x00\x00\x01\x02\x00\x00\x00BM", 10));
                     dm.MainTbl.FieldByName("Width").SetAsInteger(50);
                     dm.MainTbl.Post();
                 }},
        StepCase{"InsertRow", "new row 'd normal'", [](TDataMod &dm) { addChar(dm, "d normal", 100, 0); }},
        StepCase{"DeleteRow", "delete of row 'B'",
                 [](TDataMod &dm) {
                     locateKey(dm, "B");
                     dm.MainTbl.Delete();
                 }},
        StepCase{"DeleteRows", "delete of 2 rows",
                 [](TDataMod &dm) { dm.Ctbl.DeleteRecords({dm.Ctbl.RowAt(0), dm.Ctbl.RowAt(2)}); }},
        StepCase{"ClearKeys", "clear keys", [](TDataMod &dm) { dm.ClearKeyTable(); }},
        StepCase{"ClearCharactersStep", "clear characters",
                 [](TDataMod &dm) {
                     TDefinitionHistory::Step step(dm.History(), QStringLiteral("clear characters"));
                     dm.Ctbl.EmptyDataSet();
                 }},
        StepCase{"FingerSettings", "finger settings",
                 [](TDataMod &dm) {
                     TDefinitionHistory::Step step(dm.History(), QStringLiteral("finger settings"));
                     dm.FingerLength[3] = 77;
                     dm.FingerColor[3] = 0x00FF00;
                 }},
        StepCase{"SeveralActionsOneStep", "link",
                 [](TDataMod &dm) {
                     TDefinitionHistory::Step step(dm.History(), QStringLiteral("link"));
                     locateChar(dm, "a normal");
                     dm.Ctbl.Edit();
                     dm.Ctbl.FieldByName("KeyNo").SetAsInteger(66);
                     dm.Ctbl.Post();
                     TDefinitionHistory::Step inner(dm.History(), QStringLiteral("inner"));
                     addKey(dm, "D", 68, 120);
                     dm.bkcolor = 0x123456;
                 }},
        StepCase{"ReplaceBoth", "replace",
                 [](TDataMod &dm) {
                     TDefinitionHistory::Step step(dm.History(), QStringLiteral("replace"));
                     TRecordTable keys(TDataMod::KeyFieldDefs()), chars(TDataMod::CharFieldDefs());
                     keys.AppendRecord({"Z", 90, 1, TValue(), 3, TValue(), 40, 38, 0, 0, TValue()});
                     chars.AppendRecord({"z normal", 122, 90, false, false, 0});
                     kf::PackageSettings settings = dm.Settings();
                     settings.Author = "someone else";
                     dm.ReplaceDefinition(keys, chars, settings);
                 }}),
    [](const ::testing::TestParamInfo<StepCase> &param) { return std::string(param.param.name); });

// Steps before and after a replace of all rows still fit the rows when they
// are undone across it (the replace keeps the slots, gaps and all).
TEST(DefinitionHistory, StepsAroundAReplaceUndoInTurn)
{
    TDataMod dm;
    fill(dm);
    const std::string loaded = SavedMembers(dm);
    locateChar(dm, "b normal");
    dm.Ctbl.Delete();
    const std::string deleted = SavedMembers(dm);
    dm.Ctbl.EmptyDataSet();
    addChar(dm, "new", 110, 0);
    locateChar(dm, "new");
    dm.Ctbl.Edit();
    dm.Ctbl.FieldByName("Code").SetAsInteger(111);
    dm.Ctbl.Post();
    ASSERT_EQ(dm.History().Count(), 4);
    for (int i = 0; i < 3; ++i)
        dm.History().Undo();
    EXPECT_EQ(SavedMembers(dm), deleted);
    dm.History().Undo();
    EXPECT_EQ(SavedMembers(dm), loaded);
    for (int i = 0; i < 4; ++i)
        dm.History().Redo();
    ASSERT_EQ(dm.Ctbl.RecordCount(), 1);
    EXPECT_EQ(dm.Ctbl.FieldByName("Code").AsInteger(), 111);
}

TEST(DefinitionHistory, UndoAfterALoadDoesNothing)
{
    TDataMod source;
    fill(source);
    const std::string package = source.PackageBytes();

    TDataMod dm;
    addKey(dm, "Q", 81, 0); // a step before the load
    ASSERT_TRUE(dm.History().CanUndo());
    ASSERT_TRUE(dm.LoadPackageBytes(package));
    EXPECT_FALSE(dm.History().CanUndo());
    EXPECT_TRUE(dm.History().IsSaved());
    const std::string loaded = SavedMembers(dm);
    dm.History().Undo();
    EXPECT_EQ(SavedMembers(dm), loaded);
    // A load that fails keeps the history.
    addKey(dm, "Q", 81, 0);
    EXPECT_FALSE(dm.LoadPackageBytes("not a package"));
    EXPECT_TRUE(dm.History().CanUndo());
}

// The saved point: an edit leaves it, undoing back reaches it again, a step
// undone past it is allowed and leaves it too; a row in edit with a changed
// field is unsaved work as well.
TEST(DefinitionHistory, SavedPointFollowsSaveAndUndo)
{
    TDataMod dm;
    fill(dm);
    TDefinitionHistory &h = dm.History();
    locateKey(dm, "A");
    dm.MainTbl.Edit();
    EXPECT_TRUE(h.IsSaved()); // nothing changed yet
    dm.MainTbl.FieldByName("Hint").SetAsString("changed");
    EXPECT_FALSE(h.IsSaved());
    dm.MainTbl.Post();
    EXPECT_FALSE(h.IsSaved());
    ASSERT_NO_THROW(SavedMembers(dm));
    h.SetSaved();
    EXPECT_TRUE(h.IsSaved());
    h.Undo();
    EXPECT_FALSE(h.IsSaved()); // undone past the save
    h.Redo();
    EXPECT_TRUE(h.IsSaved());
}

// Undo posts a pending edit first and takes that back: nothing typed is lost
// for good, redo brings it again.
TEST(DefinitionHistory, UndoPostsThePendingEditFirst)
{
    TDataMod dm;
    fill(dm);
    locateKey(dm, "C");
    dm.MainTbl.Edit();
    dm.MainTbl.FieldByName("Hint").SetAsString("typed");
    dm.History().Undo();
    EXPECT_EQ(dm.MainTbl.State(), kf::TDataSetState::Browse);
    EXPECT_EQ(dm.MainTbl.FieldByName("Hint").AsString(), "hint C");
    dm.History().Redo();
    EXPECT_EQ(dm.MainTbl.FieldByName("Hint").AsString(), "typed");
}

// After an undo the current row is the row that changed.
TEST(DefinitionHistory, CurrentRowMovesToTheChangedRow)
{
    TDataMod dm;
    fill(dm);
    locateChar(dm, "c normal");
    dm.Ctbl.Edit();
    dm.Ctbl.FieldByName("KeyNo").SetAsInteger(65);
    dm.Ctbl.Post();
    locateChar(dm, "a normal");
    dm.History().Undo();
    EXPECT_EQ(dm.Ctbl.FieldByName("Name").AsString(), "c normal");
    EXPECT_EQ(dm.Ctbl.FieldByName("KeyNo").AsInteger(), 67);
}

TEST(DefinitionHistory, KeepsTheLastThousandSteps)
{
    TDataMod dm;
    fill(dm);
    locateKey(dm, "A");
    for (int i = 0; i < TDefinitionHistory::kStepLimit + 5; ++i) {
        dm.MainTbl.Edit();
        dm.MainTbl.FieldByName("KeyValue").SetAsInteger(1000 + i);
        dm.MainTbl.Post();
    }
    EXPECT_EQ(dm.History().Count(), TDefinitionHistory::kStepLimit);
    while (dm.History().CanUndo())
        dm.History().Undo();
    EXPECT_EQ(dm.MainTbl.FieldByName("KeyValue").AsInteger(), 1000 + 4);
}

} // namespace
