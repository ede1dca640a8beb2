#include "model/KbState.h"
#include "model/MainData.h"

#include "common/Dialogs.h"
#include "common/ScriptedDialogs.h"
#include "TestCatalogue.h"
#include "table/RecordTable.h"

#include <gtest/gtest.h>

#include <QObject>

#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

using namespace kf;

namespace {

// Records what the keyboard logic asks of its view, one entry per call.
class RecordingView : public IKbView {
public:
    std::vector<std::string> log;
    std::string typed; // every InsertText, Backspace and Delete in order
    bool failOnStatus = false;

    void ShowKeyPressed(TKeyRef key, bool down) override
    {
        log.push_back((down ? "down:" : "up:") + key->objectName().toStdString());
    }
    void ShowStatus(const QString &text) override
    {
        if (failOnStatus)
            throw std::runtime_error("label gone");
        log.push_back("status:" + text.toStdString());
    }
    void InsertText(const std::string &text) override
    {
        log.push_back("ins:" + Printable(text));
        typed += Printable(text);
    }
    void SendBackspace() override
    {
        log.push_back("bs");
        typed += "[bs]";
    }
    void SendDelete() override
    {
        log.push_back("del");
        typed += "[del]";
    }

    // Printable ASCII as is, other bytes as <XX>.
    static std::string Printable(const std::string &bytes)
    {
        std::string out;
        for (unsigned char c : bytes) {
            if (c >= 0x20 && c < 0x7F) {
                out += char(c);
            } else {
                char buf[8];
                snprintf(buf, sizeof buf, "<%02X>", c);
                out += buf;
            }
        }
        return out;
    }
};

struct KeyRow {
    std::string name;
    int keyValue;
    int keyType;
    std::optional<int> keyType2;
};

struct CharRow {
    int code;
    std::optional<int> keyNo;
    std::optional<bool> shift;
    bool altGr;
    int accent;
};

TValue Opt(const std::optional<int> &v) { return v ? TValue(int32_t(*v)) : TValue(); }
TValue Opt(const std::optional<bool> &v) { return v ? TValue(*v) : TValue(); }

// A full keyboard: letters, a digit, space, a letter with a dead key on AltGr,
// dead keys, every modifier and editing key.
const std::vector<KeyRow> kFullKeys = {
    {"A", 10, 1, {}},        {"1", 11, 2, 0},          {"Space", 12, 3, {}},
    {"E", 13, 1, 2002},      {"Dead", 14, 2003, 2005}, {"Grave", 15, 2001, {}},
    {"LShift", 16, 1002, {}}, {"RShift", 17, 1003, {}}, {"Caps", 18, 20, {}},
    {"AltGr", 19, 1000, {}}, {"BS", 20, 8, {}},         {"Del", 21, 46, {}},
    {"Enter", 22, 13, {}},   {"Alt", 23, 18, {}},      {"LCtrl", 24, 1004, {}},
    {"RCtrl", 25, 1005, {}},
};

const std::vector<CharRow> kFullChars = {
    {'a', 10, false, false, 0},    {'A', 10, true, false, 0},   {0xE1, 10, false, false, 2002},
    {0xE2, 10, false, false, 2003}, {0xC4, 10, true, false, 2005}, {0xE6, 10, false, true, 0},
    {'1', 11, false, false, 0},    {'!', 11, true, false, 0},
    {'#', 11, {}, false, 0},       // an empty Shift matches nothing, although its Code is lower
    {0xA0, 12, false, false, 0},   // two rows for Space: the lower Code wins
    {' ', 12, false, false, 0},    {'e', 13, false, false, 0},  {'E', 13, true, false, 0},
    {0x1E9, 13, false, false, 2002}, // only the low 8 bits are typed
    {'z', {}, false, false, 0},    // linked to no key
};

const std::vector<KeyRow> kOneShiftKeys = {{"LShift", 1, 1002, {}}, {"A", 2, 1, {}}};
const std::vector<KeyRow> kTwoLShiftKeys = {
    {"LShift1", 1, 1002, {}}, {"A", 2, 1, {}}, {"LShift2", 3, 1002, {}}};
const std::vector<CharRow> kSmallChars = {{'a', 2, false, false, 0}, {'A', 2, true, false, 0}};

enum class Board { Full, OneShift, TwoLShift };

struct Keyboard {
    TRecordTable keys{TDataMod::KeyFieldDefs()};
    TRecordTable chars{TDataMod::CharFieldDefs()};
    std::vector<std::unique_ptr<QObject>> handles; // one per key row, in row order
    std::map<std::string, int> rowOf;

    Keyboard(const std::vector<KeyRow> &keyRows, const std::vector<CharRow> &charRows)
    {
        for (const KeyRow &k : keyRows) {
            keys.AppendRecord({TValue(k.name), TValue(int32_t(k.keyValue)),
                               TValue(int32_t(k.keyType)), Opt(k.keyType2)});
            auto h = std::make_unique<QObject>();
            h->setObjectName(QString::fromStdString(k.name));
            handles.push_back(std::move(h));
            rowOf[k.name] = int(handles.size());
        }
        for (const CharRow &c : charRows)
            chars.AppendRecord({TValue("c"), TValue(int32_t(c.code)), Opt(c.keyNo), Opt(c.shift),
                                TValue(c.altGr), TValue(int32_t(c.accent))});
        chars.SetIndexFieldNames("Code");
    }

    static std::unique_ptr<Keyboard> Make(Board board)
    {
        switch (board) {
        case Board::Full:
            return std::make_unique<Keyboard>(kFullKeys, kFullChars);
        case Board::OneShift:
            return std::make_unique<Keyboard>(kOneShiftKeys, kSmallChars);
        case Board::TwoLShift:
            return std::make_unique<Keyboard>(kTwoLShiftKeys, kSmallChars);
        }
        return nullptr;
    }

    // Registers every key in key-table order, as the frame does while building.
    void RegisterAll(TKbState &state)
    {
        int row = 0;
        for (keys.First(); !keys.Eof(); keys.Next(), ++row)
            state.RegisterKey(handles[size_t(row)].get(), keys.FieldByName("KeyType").AsInteger(),
                              keys.FieldByName("KeyType2").AsInteger());
    }

    void Click(TKbState &state, const std::string &name)
    {
        const int row = rowOf.at(name);
        state.PressKey(handles[size_t(row - 1)].get(), row);
    }
};

struct ClickCase {
    const char *name;
    Board board;
    std::vector<std::string> clicks;
    std::string typed;                 // all text and editing keys sent
    std::vector<std::string> lastLog;  // what the last click showed
    bool shift, capsLock, altGr;
    int accent;
};

// What a typed character releases, on the full keyboard: both Shift keys,
// AltGr, then (with an accent pending) the accent key and its status text.
std::vector<std::string> Typed(const std::string &text, const std::string &key,
                               const std::string &accentKey = std::string())
{
    std::vector<std::string> log{"ins:" + text, "up:LShift", "up:RShift", "up:AltGr"};
    if (!accentKey.empty()) {
        log.push_back("up:" + accentKey);
        log.push_back("status:");
    }
    log.push_back("up:" + key);
    return log;
}

const ClickCase kClickCases[] = {
    {"PlainLetter", Board::Full, {"A"}, "a", Typed("a", "A"), false, false, false, 0},
    {"ShiftLetterThenReleased", Board::Full, {"LShift", "A", "A"}, "Aa", Typed("a", "A"), false, false, false, 0},
    {"CapsLockLetter", Board::Full, {"Caps", "A", "A"}, "AA", Typed("A", "A"), false, true, false, 0},
    {"CapsLockLeavesDigits", Board::Full, {"Caps", "1"}, "1", Typed("1", "1"), false, true, false, 0},
    {"ShiftAndCapsLockLetter", Board::Full, {"LShift", "Caps", "A"}, "a", Typed("a", "A"), false, true, false, 0},
    {"ShiftAndCapsLockDigit", Board::Full, {"RShift", "Caps", "1"}, "!", Typed("!", "1"), false, true, false, 0},
    {"EmptyShiftNeverMatches", Board::Full, {"1"}, "1", Typed("1", "1"), false, false, false, 0},
    {"LowestCodeWins", Board::Full, {"Space"}, " ", Typed(" ", "Space"), false, false, false, 0},
    {"AltGrLetter", Board::Full, {"AltGr", "A"}, "<E6>", Typed("<E6>", "A"), false, false, false, 0},
    {"AltGrNoRowTypesNothing", Board::Full, {"AltGr", "Space"}, "", Typed("", "Space"), false, false, false, 0},
    {"DeadKeyOnAltGr", Board::Full, {"AltGr", "E"}, "", {"down:E", "status:Acute", "up:AltGr"}, false, false, false, 2002},
    {"LetterWithoutAltGrTypesItself", Board::Full, {"E"}, "e", Typed("e", "E"), false, false, false, 0},
    {"AccentedCodeAbove255", Board::Full, {"AltGr", "E", "E"}, "<E9>", Typed("<E9>", "E", "E"), false, false, false, 0},
    {"DeadKey", Board::Full, {"Dead"}, "", {"down:Dead", "status:Circumflex", "up:AltGr"}, false, false, false, 2003},
    {"DeadKeyThenLetter", Board::Full, {"Dead", "A"}, "<E2>", Typed("<E2>", "A", "Dead"), false, false, false, 0},
    {"ShiftedDeadKeyKeepsShift", Board::Full, {"LShift", "Dead"}, "", {"down:Dead", "status:Umlaut", "up:AltGr"}, true, false, false, 2005},
    {"ShiftedDeadKeyThenShiftedLetter", Board::Full, {"LShift", "Dead", "A"}, "<C4>", Typed("<C4>", "A", "Dead"), false, false, false, 0},
    {"DeadKeyReleasesAltGr", Board::Full, {"AltGr", "Dead"}, "", {"down:Dead", "status:Circumflex", "up:AltGr"}, false, false, false, 2003},
    {"AccentWithoutRowTypesNothing", Board::Full, {"Dead", "1"}, "", Typed("", "1", "Dead"), false, false, false, 0},
    {"LoneGraveDoesNothing", Board::Full, {"LShift", "AltGr", "Grave"}, "", {}, true, false, true, 0},
    {"EnterAltCtrlDoNothing", Board::Full, {"LShift", "Caps", "AltGr", "Enter", "Alt", "LCtrl", "RCtrl"}, "", {}, true, true, true, 0},
    {"BackspaceDeleteKeepState", Board::Full, {"LShift", "AltGr", "Dead", "BS", "Del"}, "[bs][del]", {"del"}, true, false, false, 2005},
    {"LeftShiftOn", Board::Full, {"LShift"}, "", {"down:LShift", "up:AltGr"}, true, false, false, 0},
    {"LeftShiftOff", Board::Full, {"LShift", "LShift"}, "", {"up:LShift", "up:RShift", "up:LShift", "up:AltGr"}, false, false, false, 0},
    {"RightShiftOffByLeft", Board::Full, {"RShift", "LShift"}, "", {"up:LShift", "up:RShift", "up:LShift", "up:AltGr"}, false, false, false, 0},
    {"ShiftReleasesAltGr", Board::Full, {"AltGr", "RShift"}, "", {"down:RShift", "up:AltGr"}, true, false, false, 0},
    {"AltGrKeepsShift", Board::Full, {"LShift", "AltGr"}, "", {"down:AltGr"}, true, false, true, 0},
    {"AltGrToggles", Board::Full, {"AltGr", "AltGr"}, "", {"up:AltGr"}, false, false, false, 0},
    {"CapsLockToggles", Board::Full, {"Caps", "Caps"}, "", {"up:Caps"}, false, false, false, 0},
    {"OneShiftKeyNotShownReleased", Board::OneShift, {"LShift", "A"}, "A", {"ins:A", "up:A"}, false, false, false, 0},
    {"TwoLeftShiftKeysLaterShown", Board::TwoLShift, {"LShift1"}, "", {"down:LShift2"}, true, false, false, 0},
    {"TwoLeftShiftKeysEitherToggles", Board::TwoLShift, {"LShift1", "LShift2"}, "", {"up:LShift2"}, false, false, false, 0},
};

class KbStateClicks : public ::testing::TestWithParam<ClickCase> {};

TEST_P(KbStateClicks, Sequence)
{
    const ClickCase &c = GetParam();
    auto board = Keyboard::Make(c.board);
    RecordingView view;
    TKbState state(view, &board->keys, &board->chars);
    board->RegisterAll(state);
    for (const std::string &key : c.clicks) {
        view.log.clear();
        board->Click(state, key);
    }
    EXPECT_EQ(view.typed, c.typed);
    EXPECT_EQ(view.log, c.lastLog);
    EXPECT_EQ(state.Shift(), c.shift);
    EXPECT_EQ(state.CapsLock(), c.capsLock);
    EXPECT_EQ(state.AltGr(), c.altGr);
    EXPECT_EQ(state.Accent(), c.accent);
}

INSTANTIATE_TEST_SUITE_P(Cases, KbStateClicks, ::testing::ValuesIn(kClickCases),
                         [](const auto &caseInfo) { return std::string(caseInfo.param.name); });

// After each click sequence, what every key would yield (PeekKeys) is what a
// click on it resolves to, and asking moves neither table.
class KbStatePeek : public ::testing::TestWithParam<ClickCase> {};

TEST_P(KbStatePeek, AgreesWithResolveKeyAndMovesNothing)
{
    const ClickCase &c = GetParam();
    auto board = Keyboard::Make(c.board);
    RecordingView view;
    TKbState state(view, &board->keys, &board->chars);
    board->RegisterAll(state);
    for (const std::string &key : c.clicks)
        board->Click(state, key);

    std::vector<TBookmark> rows;
    for (int i = 0; i < board->keys.RecordCount(); ++i)
        rows.push_back(board->keys.RowAt(i));
    board->keys.SetRecNo(2);
    board->chars.SetRecNo(2);
    const std::vector<TKbState::TResolved> peeked = state.PeekKeys(rows);
    EXPECT_EQ(board->keys.RecNo(), 2);
    EXPECT_EQ(board->chars.RecNo(), 2);
    ASSERT_EQ(peeked.size(), rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        const TKbState::TResolved resolved = state.ResolveKey(rows[i]);
        EXPECT_EQ(peeked[i].Code, resolved.Code) << "row " << i;
        EXPECT_EQ(RecordingView::Printable(peeked[i].Text), RecordingView::Printable(resolved.Text)) << "row " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, KbStatePeek, ::testing::ValuesIn(kClickCases),
                         [](const auto &caseInfo) { return std::string(caseInfo.param.name); });

TEST(KbStatePeekGone, RowOutOfTheViewYieldsNothing)
{
    auto board = Keyboard::Make(Board::Full);
    RecordingView view;
    TKbState state(view, &board->keys, &board->chars);
    const TBookmark a = board->keys.RowAt(0);
    board->keys.SetFilter("KeyValue<>10");
    board->keys.SetFiltered(true);
    const std::vector<TKbState::TResolved> peeked = state.PeekKeys({a, TBookmark()});
    ASSERT_EQ(peeked.size(), 2u);
    EXPECT_EQ(peeked[0].Code, 0);
    EXPECT_TRUE(peeked[0].Text.empty());
    EXPECT_EQ(peeked[1].Code, 0);
}

// The effective code for every combination of the two type fields and modifiers.
struct CodeCase {
    std::optional<int> type, type2;
    bool shift, altGr;
    int code;
};

TEST(KbState, EffectiveCode)
{
    const CodeCase cases[] = {
        {1, {}, false, false, 1},       {1, 0, true, true, 1},         {13, {}, false, false, 13},
        {1002, 0, false, false, 1002},  {{}, {}, false, false, 0},     {1, 2002, false, false, 1},
        {1, 2002, false, true, 2002},   {7, 2008, true, true, 2008},   {8, 2002, false, true, 0},
        {2003, 2005, false, true, 2003}, {2003, 2005, true, false, 2005}, {2001, {}, true, false, 0},
        {2001, 0, false, false, 0},     {2001, 2001, true, false, 2001}, {1, 5, false, true, 0},
        {1000, 2002, false, true, 0},
    };
    for (const CodeCase &c : cases) {
        Keyboard board({{"K", 1, 0, {}}}, {});
        board.keys.First();
        board.keys.Edit();
        board.keys.FieldByName("KeyType").SetValue(Opt(c.type));
        board.keys.FieldByName("KeyType2").SetValue(Opt(c.type2));
        board.keys.Post();
        RecordingView view;
        TKbState state(view, &board.keys, &board.chars);
        state.SetShift(c.shift);
        state.SetAltGr(c.altGr);
        EXPECT_EQ(state.ResolveKey(1).Code, c.code)
            << "types " << c.type.value_or(-1) << "/" << c.type2.value_or(-1) << " shift "
            << c.shift << " altgr " << c.altGr;
    }
}

TEST(KbState, ResolveMovesCurrentRows)
{
    Keyboard board(kFullKeys, kFullChars);
    RecordingView view;
    TKbState state(view, &board.keys, &board.chars);

    TKbState::TResolved r = state.ResolveKey(board.rowOf["E"]);
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(r.Text, "e");
    EXPECT_EQ(board.keys.RecNo(), board.rowOf["E"]);
    EXPECT_EQ(board.keys.FieldByName("Name").AsString(), "E");
    EXPECT_EQ(board.chars.FieldByName("Code").AsInteger(), 'e');

    // Nothing found: the character table stays where it was.
    state.SetAltGr(true);
    r = state.ResolveKey(board.rowOf["Space"]);
    EXPECT_EQ(r.Code, 3);
    EXPECT_EQ(r.Text, "");
    EXPECT_EQ(board.keys.FieldByName("Name").AsString(), "Space");
    EXPECT_EQ(board.chars.FieldByName("Code").AsInteger(), 'e');

    // A key that is not a character key does not search.
    r = state.ResolveKey(board.rowOf["Enter"]);
    EXPECT_EQ(r.Code, 13);
    EXPECT_EQ(r.Text, "");
    EXPECT_EQ(board.chars.FieldByName("Code").AsInteger(), 'e');
}

TEST(KbState, RowBeyondKeyTableIsIgnored)
{
    Keyboard board(kFullKeys, kFullChars);
    RecordingView view;
    TKbState state(view, &board.keys, &board.chars);
    board.RegisterAll(state);
    state.SetShift(true);
    board.keys.SetRecNo(3);
    board.chars.First();
    const int keyCount = board.keys.RecordCount();
    for (int row : {keyCount + 1, keyCount + 100, 0, -1}) {
        view.log.clear();
        const TKbState::TResolved r = state.ResolveKey(row);
        EXPECT_EQ(r.Code, 0);
        EXPECT_EQ(r.Text, "");
        state.PressKey(board.handles[0].get(), row);
        EXPECT_TRUE(view.log.empty()) << row;
        EXPECT_EQ(board.keys.RecNo(), 3);
        EXPECT_EQ(board.chars.RecNo(), 1);
        EXPECT_TRUE(state.Shift());
    }
}

// A key's bookmark finds its row whatever the key table's order; once the
// row is deleted the key resolves to nothing and moves nothing.
TEST(KbState, BookmarkFindsItsRowInAnyOrder)
{
    Keyboard board(kFullKeys, kFullChars);
    RecordingView view;
    TKbState state(view, &board.keys, &board.chars);
    board.RegisterAll(state);
    ASSERT_TRUE(board.keys.Locate("Name", {TValue("E")}));
    const TBookmark e = board.keys.GetBookmark();
    const int eNo = board.keys.RecNo();
    for (const char *order : {"KeyType", "Name", "KeyValue"}) {
        board.keys.SetIndexFieldNames(order);
        board.keys.First();
        const TKbState::TResolved r = state.ResolveKey(e);
        EXPECT_EQ(r.Code, 1) << order;
        EXPECT_EQ(r.Text, "e") << order;
        EXPECT_EQ(board.keys.FieldByName("Name").AsString(), "E") << order;
    }
    // The row number of the same key changed with the order; the bookmark did not.
    board.keys.SetIndexFieldNames("KeyType");
    EXPECT_NE(board.keys.RecNo(), eNo);

    board.keys.Delete();
    board.keys.First();
    board.chars.First();
    view.log.clear();
    EXPECT_EQ(state.ResolveKey(e).Code, 0);
    state.PressKey(board.handles[0].get(), e);
    EXPECT_TRUE(view.log.empty());
    EXPECT_EQ(board.keys.RecNo(), 1);
    EXPECT_EQ(board.chars.RecNo(), 1);
}

TEST(KbState, NoTablesResolveNothing)
{
    RecordingView view;
    TKbState state(view);
    EXPECT_EQ(state.ResolveKey(1).Code, 0);
    state.PressKey(nullptr, 1);
    EXPECT_TRUE(view.log.empty());
}

TEST(KbState, RolesAndForgetKeys)
{
    Keyboard board(kFullKeys, kFullChars);
    RecordingView view;
    TKbState state(view, &board.keys, &board.chars);
    board.RegisterAll(state);
    auto handle = [&](const char *name) { return board.handles[size_t(board.rowOf[name] - 1)].get(); };
    EXPECT_EQ(state.LeftShiftKey(), handle("LShift"));
    EXPECT_EQ(state.RightShiftKey(), handle("RShift"));
    EXPECT_EQ(state.AltGrKey(), handle("AltGr"));
    EXPECT_EQ(state.CapsLockKey(), handle("Caps"));
    EXPECT_EQ(state.AccentKey(2001), handle("Grave"));
    EXPECT_EQ(state.AccentKey(2002), handle("E"));
    EXPECT_EQ(state.AccentKey(2003), handle("Dead"));
    EXPECT_EQ(state.AccentKey(2005), handle("Dead")); // two roles from one key
    EXPECT_EQ(state.AccentKey(2004), nullptr);
    EXPECT_EQ(state.AccentKey(0), nullptr);

    board.Click(state, "Caps");
    board.Click(state, "Dead");
    EXPECT_EQ(state.ActiveAccentKey(), handle("Dead"));
    state.ForgetKeys();
    EXPECT_EQ(state.LeftShiftKey(), nullptr);
    EXPECT_EQ(state.AccentKey(2003), nullptr);
    EXPECT_EQ(state.ActiveAccentKey(), nullptr);
    EXPECT_TRUE(state.CapsLock());
    EXPECT_EQ(state.Accent(), 2003);

    // Without roles nothing is shown, but the state still works.
    view.log.clear();
    board.Click(state, "Caps");
    EXPECT_FALSE(state.CapsLock());
    EXPECT_TRUE(view.log.empty());
    board.Click(state, "A");
    EXPECT_EQ(view.log, (std::vector<std::string>{"ins:<E2>", "up:A"}));
}

TEST(KbState, FailureWhileShowingAccentIsReported)
{
    auto previous = SetDialogs(std::make_unique<ScriptedDialogs>());
    auto &dialogs = static_cast<ScriptedDialogs &>(Dialogs());
    Keyboard board(kFullKeys, kFullChars);
    RecordingView view;
    TKbState state(view, &board.keys, &board.chars);
    board.RegisterAll(state);
    view.failOnStatus = true;

    board.Click(state, "Dead");
    EXPECT_EQ(state.Accent(), 2003);
    ASSERT_EQ(dialogs.count(ScriptedDialogs::Kind::Message), 1);
    EXPECT_EQ(dialogs.last(ScriptedDialogs::Kind::Message).text,
              QStringLiteral("Some bugs in the config of the template."));
    // The failure went no further: the rest of the click ran.
    EXPECT_EQ(view.log.back(), "up:AltGr");
    view.failOnStatus = false;
    view.log.clear();
    board.Click(state, "A");
    EXPECT_EQ(view.typed, "<E2>");
    SetDialogs(std::move(previous));
}

TEST(KbState, FailureMessageGoesThroughTheCatalogue)
{
    if (!kf::support::MsgfmtInstalled())
        GTEST_SKIP() << "msgfmt is not installed";
    std::optional<kf::support::ScopedCatalogue> german(
        std::in_place, "de_DE.UTF-8",
        kf::support::CatalogueEntries{{"Some bugs in the config of the template.", "Fehler in der Vorlage \xc3\xbc"}});
    ASSERT_TRUE(german->Ok()) << german->Error();

    auto previous = SetDialogs(std::make_unique<ScriptedDialogs>());
    auto &dialogs = static_cast<ScriptedDialogs &>(Dialogs());
    Keyboard board(kFullKeys, kFullChars);
    RecordingView view;
    TKbState state(view, &board.keys, &board.chars);
    board.RegisterAll(state);
    view.failOnStatus = true;
    board.Click(state, "Dead");
    german.reset();
    ASSERT_EQ(dialogs.count(ScriptedDialogs::Kind::Message), 1);
    EXPECT_EQ(dialogs.last(ScriptedDialogs::Kind::Message).text,
              QString::fromUtf8("Fehler in der Vorlage \xc3\xbc"));
    SetDialogs(std::move(previous));
}

TEST(KbState, AccentStatusTexts)
{
    const char *names[] = {"Grave", "Acute", "Circumflex", "Tilde", "Umlaut", "Ring", "Ese", "Cedilia"};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(AccentStatusText(2001 + i), QString::fromLatin1(names[i]));
    EXPECT_EQ(AccentStatusText(0), QString());
    EXPECT_EQ(AccentStatusText(2009), QString());
}

} // namespace
