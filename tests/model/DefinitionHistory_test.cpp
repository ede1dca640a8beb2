#include "model/DefinitionHistory.h"

#include "SavedPackage.h"
#include "model/MainData.h"

#include <gtest/gtest.h>

#include <malloc.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <string>

using kf::TDataMod;
using kf::TDefinitionHistory;
using kf::TRecordTable;
using kf::TValue;
using kf::PackageSettings;
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

// ---- settings steps ------------------------------------------------------

struct SettingsCase {
    const char *name;
    std::function<void(TDataMod &)> step;         // inside a step
    std::function<void(PackageSettings &)> since; // a setting changed outside any step since
};

std::ostream &operator<<(std::ostream &out, const SettingsCase &c)
{
    return out << c.name;
}

class SettingsStep : public ::testing::TestWithParam<SettingsCase> {};

// A settings step undone or redone changes only what it changed: a setting
// changed since, outside any step (as a save writes the typed author), stays.
// The windows hear the settings as they were and as they are.
TEST_P(SettingsStep, TakesBackOnlyWhatItChanged)
{
    TDataMod dm;
    fill(dm);
    dm.Author = "Jo";
    dm.misc = "notes";
    dm.FingerLength = {10, 20, 30, 40, 50, 50, 40, 30, 20, 10};
    const PackageSettings loaded = dm.Settings();
    {
        TDefinitionHistory::Step step(dm.History(), QStringLiteral("step"));
        GetParam().step(dm);
    }
    const PackageSettings stepped = dm.Settings();
    ASSERT_NE(stepped, loaded);
    PackageSettings now = stepped;
    GetParam().since(now);
    dm.SetSettings(now);

    std::vector<std::pair<PackageSettings, PackageSettings>> heard;
    QObject::connect(&dm.History(), &TDefinitionHistory::SettingsRestored,
                     [&](const PackageSettings &from, const PackageSettings &to) { heard.emplace_back(from, to); });
    PackageSettings undone = loaded;
    GetParam().since(undone);
    dm.History().Undo();
    EXPECT_EQ(dm.Settings(), undone);
    dm.History().Redo();
    EXPECT_EQ(dm.Settings(), now);
    ASSERT_EQ(heard.size(), 2u);
    EXPECT_EQ(heard[0].first, now);
    EXPECT_EQ(heard[0].second, undone);
    EXPECT_EQ(heard[1].first, undone);
    EXPECT_EQ(heard[1].second, now);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, SettingsStep,
    ::testing::Values(
        SettingsCase{"ColourKeepsAuthorSince", [](TDataMod &dm) { dm.bkcolor = 0x00FF00; },
                     [](PackageSettings &s) { s.Author = "saved since"; }},
        SettingsCase{"ColourKeepsInfoSince", [](TDataMod &dm) { dm.bkcolor = 0x00FF00; },
                     [](PackageSettings &s) { s.misc = "saved since"; }},
        SettingsCase{"FingerKeepsAnotherFinger", [](TDataMod &dm) { dm.FingerLength[0] = 77; },
                     [](PackageSettings &s) { s.lengths[3] = 99; }},
        SettingsCase{"FingerColourKeepsBackground", [](TDataMod &dm) { dm.FingerColor[1] = 0xFF; },
                     [](PackageSettings &s) { s.bkcolor = 0x123456; }},
        SettingsCase{"AuthorKeepsBackground", [](TDataMod &dm) { dm.Author = "layout"; },
                     [](PackageSettings &s) { s.bkcolor = 0x123456; }}),
    [](const ::testing::TestParamInfo<SettingsCase> &param) { return std::string(param.param.name); });

// Typed texts count as unsaved; a save writes them and makes them the
// definition's, so undoing an older colour step after it keeps them.
TEST(DefinitionHistory, SavedTypedAuthorSurvivesUndoOfAnOlderStep)
{
    TDataMod dm;
    fill(dm);
    dm.Author = "Jo";
    {
        TDefinitionHistory::Step step(dm.History(), QStringLiteral("background colour"));
        dm.bkcolor = 0x00FF00;
    }
    dm.TypedAuthor = QStringLiteral("Jo Doe");
    dm.TypedInfo = QStringLiteral("line one\nline two");
    dm.History().SetSaved();
    EXPECT_TRUE(dm.Unsaved());
    const std::string file = ::testing::TempDir() + "typed_author.vkt";
    ASSERT_TRUE(dm.SavePackage(file)) << dm.PackageError();
    EXPECT_FALSE(dm.Unsaved());
    EXPECT_EQ(dm.Author, "Jo Doe");
    EXPECT_EQ(dm.misc, "line one\r\nline two");
    dm.History().Undo();
    EXPECT_EQ(dm.bkcolor, 0);
    EXPECT_EQ(dm.Author, "Jo Doe");
    dm.History().Redo();
    EXPECT_EQ(dm.Author, "Jo Doe");
    EXPECT_FALSE(dm.Unsaved());

    // A load drops what was typed.
    dm.TypedAuthor = QStringLiteral("typed");
    ASSERT_TRUE(dm.LoadPackage(file));
    EXPECT_FALSE(dm.TypedAuthor);
    EXPECT_EQ(dm.Author, "Jo Doe");
    std::remove(file.c_str());
}

// ---- memory ----------------------------------------------------------------

std::string noise(size_t n, unsigned seed)
{
    std::mt19937_64 gen(seed);
    std::string s(n, '\0');
    for (size_t i = 0; i + 8 <= n; i += 8) {
        const uint64_t v = gen();
        std::memcpy(&s[i], &v, 8);
    }
    return s;
}

size_t heapInUse()
{
    malloc_trim(0);
    return mallinfo2().uordblks;
}

void setPicture(TDataMod &dm, const std::string &bytes)
{
    locateKey(dm, "A");
    dm.MainTbl.Edit();
    dm.MainTbl.FieldByName("Glyph").SetAsBytes(bytes);
    dm.MainTbl.Post();
}

// A picture kept through many steps (edits of the key's hint) is held once,
// not twice per step.
TEST(DefinitionHistory, PictureKeptThroughStepsIsHeldOnce)
{
    constexpr size_t kPicture = 256 * 1024;
    constexpr int kSteps = 200; // held per step, 100 MB
    TDataMod dm;
    fill(dm);
    setPicture(dm, noise(kPicture, 1));
    dm.History().Clear();
    const size_t before = heapInUse();
    for (int i = 0; i < kSteps; ++i) {
        locateKey(dm, "A");
        dm.MainTbl.Edit();
        dm.MainTbl.FieldByName("Hint").SetAsString("hint " + std::to_string(i));
        dm.MainTbl.Post();
    }
    ASSERT_EQ(dm.History().Count(), kSteps);
    EXPECT_LT(heapInUse() - std::min(before, heapInUse()), 16 * kPicture);
    EXPECT_LT(dm.History().MemoryUse(), 4 * kPicture);
    while (dm.History().CanUndo())
        dm.History().Undo();
    EXPECT_EQ(dm.MainTbl.FieldByName("Hint").AsString(), "hint A");
    EXPECT_EQ(dm.MainTbl.FieldByName("Glyph").AsBytes(), noise(kPicture, 1));
}

// The history holds no more than its memory limit: the oldest steps go, the
// newer ones still undo to what they were, and the saved point gone with
// them can no longer be reached.
TEST(DefinitionHistory, MemoryLimitDropsTheOldestSteps)
{
    constexpr size_t kPicture = 256 * 1024;
    TDataMod dm;
    fill(dm);
    dm.History().SetMemoryLimit(6 * kPicture);
    for (unsigned i = 1; i <= 12; ++i)
        setPicture(dm, noise(kPicture, i));
    TDefinitionHistory &h = dm.History();
    EXPECT_LE(h.MemoryUse(), 6 * kPicture);
    EXPECT_GE(h.Count(), 4);
    EXPECT_LT(h.Count(), 12);
    const int kept = h.Count();
    EXPECT_FALSE(h.IsSaved());
    while (h.CanUndo())
        h.Undo();
    EXPECT_EQ(dm.MainTbl.FieldByName("Glyph").AsBytes(), noise(kPicture, unsigned(12 - kept)));
    EXPECT_FALSE(h.IsSaved()); // the loaded point went with the oldest steps
    while (h.CanRedo())
        h.Redo();
    EXPECT_EQ(dm.MainTbl.FieldByName("Glyph").AsBytes(), noise(kPicture, 12));
    EXPECT_EQ(h.Count(), kept);
}

// The saved point among the kept steps stays where it was.
TEST(DefinitionHistory, MemoryLimitKeepsTheSavedPoint)
{
    constexpr size_t kPicture = 256 * 1024;
    TDataMod dm;
    fill(dm);
    dm.History().SetMemoryLimit(6 * kPicture);
    for (unsigned i = 1; i <= 10; ++i) {
        setPicture(dm, noise(kPicture, i));
        if (i == 10 - 1)
            dm.History().SetSaved();
    }
    TDefinitionHistory &h = dm.History();
    ASSERT_LT(h.Count(), 10);
    EXPECT_FALSE(h.IsSaved());
    h.Undo();
    EXPECT_TRUE(h.IsSaved());
    h.Undo();
    EXPECT_FALSE(h.IsSaved());
}

// Without a limit set, a long run of large steps stays within the default.
TEST(DefinitionHistory, DefaultMemoryLimitBoundsTheHeap)
{
    constexpr size_t kPicture = 512 * 1024;
    constexpr unsigned kSteps = 300; // 150 MB of distinct pictures
    TDataMod dm;
    fill(dm);
    const size_t before = heapInUse();
    for (unsigned i = 1; i <= kSteps; ++i)
        setPicture(dm, noise(kPicture, i));
    EXPECT_LE(dm.History().MemoryUse(), TDefinitionHistory::kMemoryLimit);
    EXPECT_LT(heapInUse() - std::min(before, heapInUse()), TDefinitionHistory::kMemoryLimit + 16 * kPicture);
    EXPECT_LT(dm.History().Count(), int(kSteps));
}

} // namespace
