#include "model/MainData.h"
#include "common/CodePage.h"
#include "common/Errors.h"
#include "model/DefinitionHistory.h"

#include <algorithm>
#include <ctime>
#include <utility>

namespace kf {

TDataMod *DataMod = nullptr;

namespace {

void checkFields(const TRecordTable &table, const std::vector<TFieldDef> &wanted, const std::string &member)
{
    const std::vector<TFieldDef> &defs = table.FieldDefs();
    for (const TFieldDef &w : wanted) {
        const int i = table.FindFieldIndex(w.Name);
        if (i < 0)
            throw EDatabaseError(member + ": field '" + w.Name + "' is missing");
        if (defs[size_t(i)].DataType != w.DataType)
            throw EDatabaseError(member + ": field '" + w.Name + "' is " + FieldTypeName(defs[size_t(i)].DataType)
                                 + ", not " + FieldTypeName(w.DataType));
    }
}

// Reads a datapacket into a table of its own, so nothing of the definition
// changes when it is broken. The table keeps the fields `like` keeps, so
// that its rows can go to `like` as they are.
void parsePacket(TRecordTable &into, const TRecordTable &like, const std::string &bytes, const std::string &member)
{
    into.SetFixedFields(like.FixedFields());
    try {
        into.LoadFromBytes(bytes);
    } catch (const std::exception &e) {
        throw EDatabaseError(member + ": " + e.what());
    }
}

} // namespace

TDataMod::TDataMod()
{
    DataModuleCreate();
    m_history = std::make_unique<TDefinitionHistory>(*this);
    DataMod = this;
}

TDataMod::~TDataMod()
{
    if (DataMod == this)
        DataMod = nullptr;
    Ctbl.AfterOpen = nullptr;
}

std::vector<TFieldDef> TDataMod::KeyFieldDefs()
{
    return {
        {"Name", TFieldType::String, 20, true},
        {"KeyValue", TFieldType::Integer},
        {"KeyType", TFieldType::Integer},
        {"KeyType2", TFieldType::Integer},
        {"Finger", TFieldType::Integer},
        {"Glyph", TFieldType::Graphic},
        {"Width", TFieldType::Integer},
        {"Height", TFieldType::Integer},
        {"X", TFieldType::Integer},
        {"Y", TFieldType::Integer},
        {"Hint", TFieldType::String, 127},
    };
}

std::vector<TFieldDef> TDataMod::CharFieldDefs()
{
    return {
        {"Name", TFieldType::String, 30},
        {"Code", TFieldType::Integer},
        {"KeyNo", TFieldType::Integer},
        {"Shift", TFieldType::Boolean},
        {"AltGr", TFieldType::Boolean},
        {"Accent", TFieldType::Integer},
    };
}

void TDataMod::CheckKeyFields(const TRecordTable &table, const std::string &member)
{
    checkFields(table, KeyFieldDefs(), member);
}

void TDataMod::CheckCharFields(const TRecordTable &table, const std::string &member)
{
    checkFields(table, CharFieldDefs(), member);
}

void TDataMod::DataModuleCreate()
{
    // The known fields keep their widths and required flags through every
    // load, whatever a package declares.
    MainTbl.SetFixedFields(KeyFieldDefs());
    Ctbl.SetFixedFields(CharFieldDefs());
    MainTbl.CreateDataSet(KeyFieldDefs());
    MainTbl.SetIndexFieldNames("Name");

    Ctbl.AfterOpen = [this](TRecordTable &) { CtblAfterOpen(); };
    Ctbl.CreateDataSet(CharFieldDefs()); // opens Ctbl: CtblAfterOpen runs

    MainSource.SetDataSet(&MainTbl);
    CtblSource.SetDataSet(&Ctbl);
    CtblFSource.SetDataSet(&CtblF);
    CtblDSource.SetDataSet(&CtblD);

    // Kit reads every package as a ZIP archive, whatever its extension.
    Kit.close();
    SetSettings(PackageSettings{});
    m_packageError.clear();
}

void TDataMod::CtblAfterOpen()
{
    Ctbl.SetIndexFieldNames("Code");
    CtblF.CloneCursor(Ctbl);
    CtblD.CloneCursor(Ctbl);
    CtblD.SetFilter(std::string());
    CtblD.SetFiltered(true);
}

void TDataMod::ClearKeyTable()
{
    MainTbl.EmptyDataSet();
}

PackageSettings TDataMod::Settings() const
{
    PackageSettings s;
    s.bkcolor = bkcolor;
    s.Author = Author;
    s.misc = misc;
    s.lengths = FingerLength;
    s.xValues = FingerX;
    s.colors = FingerColor;
    s.codePage = PackageCodePage;
    return s;
}

CodePage TDataMod::ReadingCodePage() const
{
    return PackageCodePage.empty() ? CodePage::current() : CodePage(PackageCodePage);
}

void TDataMod::SetSettings(const PackageSettings &s)
{
    bkcolor = s.bkcolor;
    Author = s.Author;
    misc = s.misc;
    FingerLength = s.lengths;
    FingerX = s.xValues;
    FingerColor = s.colors;
    PackageCodePage = s.codePage;
}

PackageSettings TDataMod::SettingsToSave() const
{
    PackageSettings s = Settings();
    const CodePage &cp = CodePage::current();
    s.codePage = cp.name();
    // A text typed back to what the package holds keeps its bytes, also
    // those the code page leaves undefined.
    if (TypedAuthor)
        s.Author = cp.encodeEdited(*TypedAuthor, s.Author);
    if (TypedInfo) {
        // The info keeps its line breaks, written as CR LF like the
        // package's own lines.
        QString info = *TypedInfo;
        info.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
        s.misc = cp.encodeEdited(info, s.misc);
    }
    return s;
}

bool TDataMod::Unsaved() const
{
    return TypedAuthor || TypedInfo || !m_history->IsSaved();
}

bool TDataMod::LoadPackage(const std::string &path)
{
    try {
        Kit.open(path);
        loadFromKit();
        TypedAuthor.reset();
        TypedInfo.reset();
        m_history->Clear();
        m_packageError.clear();
        return true;
    } catch (const std::exception &e) {
        Kit.close();
        m_packageError = e.what();
        return false;
    }
}

bool TDataMod::LoadPackageBytes(std::string_view bytes)
{
    try {
        Kit.openBytes(bytes);
        loadFromKit();
        TypedAuthor.reset();
        TypedInfo.reset();
        m_history->Clear();
        m_packageError.clear();
        return true;
    } catch (const std::exception &e) {
        Kit.close();
        m_packageError = e.what();
        return false;
    }
}

void TDataMod::loadFromKit()
{
    // Read and check everything first ...
    const std::string keyBytes = Kit.read(kKeyMember);
    const std::string charBytes = Kit.read(kCharMember);
    const std::string readmeBytes = Kit.read(kReadmeMember);
    Kit.close();

    // Each datapacket is read once: the tables read here become the
    // definition's.
    TRecordTable keys;
    parsePacket(keys, MainTbl, keyBytes, kKeyMember);
    CheckKeyFields(keys, kKeyMember);
    TRecordTable chars;
    parsePacket(chars, Ctbl, charBytes, kCharMember);
    CheckCharFields(chars, kCharMember);
    const PackageSettings settings = readReadme(readmeBytes);

    ReplaceDefinition(keys, chars, settings);
}

void TDataMod::ReplaceDefinition(TRecordTable &keys, TRecordTable &chars, const PackageSettings &settings)
{
    // The key table keeps the order in force; Ctbl's AfterOpen sets up its
    // order and cursors.
    const std::string keyOrder = MainTbl.IndexFieldNames();
    const std::string keyIndex = MainTbl.IndexName();
    MainTbl.LoadFromTable(keys);
    try {
        if (!keyIndex.empty())
            MainTbl.SetIndexName(keyIndex);
        else
            MainTbl.SetIndexFieldNames(keyOrder);
    } catch (const EDatabaseError &) {
        MainTbl.SetIndexFieldNames("Name"); // the order's fields are gone
    }
    Ctbl.LoadFromTable(chars);
    SetSettings(settings);
}

std::vector<ZipArchive::Member> TDataMod::packageMembers()
{
    MainTbl.CheckBrowseMode(); // posts a changed row, drops an unchanged one
    MainTbl.MergeChangeLog();
    std::string keyBytes = MainTbl.SaveToBytes();

    for (TRecordTable *cursor : {&Ctbl, &CtblF, &CtblD})
        cursor->CheckBrowseMode();
    Ctbl.MergeChangeLog();
    std::string charBytes = Ctbl.SaveToBytes();

    std::vector<ZipArchive::Member> members;
    members.push_back({kKeyMember, std::move(keyBytes)});
    members.push_back({kCharMember, std::move(charBytes)});
    members.push_back({kReadmeMember, writeReadme(SettingsToSave())});
    return members;
}

std::string TDataMod::PackageBytes()
{
    return ZipArchive::build(packageMembers(), std::time(nullptr));
}

uint64_t TDataMod::KeyPictureRoom() const
{
    // Room for one more row with every text at its full width (length
    // prefixes and status bits included), the picture's length aside.
    constexpr uint64_t kRowAllowance = 1024;
    if (!MainTbl.Active())
        return 0;
    uint64_t used = MainTbl.SaveToBytes().size() + kRowAllowance;
    const TBookmark own = MainTbl.State() == TDataSetState::Edit ? MainTbl.GetBookmark() : TBookmark();
    const int glyph = MainTbl.FindFieldIndex("Glyph");
    if (!own.IsNull() && glyph >= 0) {
        const TValue stored = MainTbl.BookmarkValue(own, glyph);
        if (!stored.IsNull())
            used -= std::min<uint64_t>(used, stored.bytes().size());
    }
    return used >= ZipArchive::kMaxMemberBytes ? 0 : ZipArchive::kMaxMemberBytes - used;
}

bool TDataMod::SavePackage(const std::string &path)
{
    try {
        const PackageSettings saved = SettingsToSave();
        ZipArchive::writeFile(path, packageMembers(), std::time(nullptr));
        // What was written is what the definition holds now; the texts are
        // no step of the history.
        Author = saved.Author;
        misc = saved.misc;
        PackageCodePage = saved.codePage;
        TypedAuthor.reset();
        TypedInfo.reset();
        m_history->SetSaved();
        m_packageError.clear();
        return true;
    } catch (const std::exception &e) {
        m_packageError = e.what();
        return false;
    }
}

bool TDataMod::LocateChar(int32_t keyValue, bool shift, bool altGr, int32_t accent)
{
    return Ctbl.Locate("KeyNo;Shift;AltGr;Accent", {TValue(keyValue), TValue(shift), TValue(altGr), TValue(accent)});
}

bool TDataMod::LocateKey(int32_t keyValue)
{
    return MainTbl.Locate("KeyValue", {TValue(keyValue)});
}

void TDataMod::FilterKeyChars(int32_t keyValue)
{
    CtblD.SetFilter("KeyNo=" + std::to_string(keyValue));
    CtblD.SetFiltered(true);
}

} // namespace kf
