// Temporary skeleton: the engine is being written; every operation reports that.
#pragma GCC diagnostic ignored "-Wunused-parameter"
#include "model/RecordTable.h"
#include "common/Errors.h"
#include <istream>
#include <ostream>

namespace kf {

struct TRecordTable::Impl { std::vector<TFieldDef> defs; };

namespace { [[noreturn]] void notYet() { throw EDatabaseError("Record table engine: not implemented yet"); } }
TRecordTable::TRecordTable() : d(new Impl) {}
TRecordTable::TRecordTable(std::vector<TFieldDef> defs) : d(new Impl) { CreateDataSet(std::move(defs)); }
TRecordTable::~TRecordTable() = default;
void TRecordTable::CreateDataSet(std::vector<TFieldDef> defs) { notYet(); }
bool TRecordTable::Active() const { notYet(); }
const std::vector<TFieldDef> & TRecordTable::FieldDefs() const { notYet(); }
int TRecordTable::FieldCount() const { notYet(); }
TField TRecordTable::Fields(int index) { notYet(); }
TField TRecordTable::FieldByName(const std::string &name) { notYet(); }
int TRecordTable::FindFieldIndex(const std::string &name) const { notYet(); }
void TRecordTable::AddIndex(const std::string &name, const std::string &fields,
                  const std::string &descFields) { notYet(); }
std::string TRecordTable::IndexFieldNames() const { notYet(); }
void TRecordTable::SetIndexFieldNames(const std::string &fields) { notYet(); }
std::string TRecordTable::IndexName() const { notYet(); }
void TRecordTable::SetIndexName(const std::string &name) { notYet(); }
std::string TRecordTable::Filter() const { notYet(); }
void TRecordTable::SetFilter(const std::string &expression) { notYet(); }
bool TRecordTable::Filtered() const { notYet(); }
void TRecordTable::SetFiltered(bool on) { notYet(); }
void TRecordTable::First() { notYet(); }
void TRecordTable::Last() { notYet(); }
void TRecordTable::Next() { notYet(); }
void TRecordTable::Prior() { notYet(); }
int TRecordTable::MoveBy(int distance) { notYet(); }
bool TRecordTable::Eof() const { notYet(); }
bool TRecordTable::Bof() const { notYet(); }
bool TRecordTable::IsEmpty() const { notYet(); }
int TRecordTable::RecordCount() const { notYet(); }
int TRecordTable::RecNo() const { notYet(); }
void TRecordTable::SetRecNo(int recNo) { notYet(); }
bool TRecordTable::Locate(const std::string &fields, const std::vector<TValue> &values) { notYet(); }
bool TRecordTable::FindKey(const std::vector<TValue> &values) { notYet(); }
TDataSetState TRecordTable::State() const { notYet(); }
void TRecordTable::Edit() { notYet(); }
void TRecordTable::Insert() { notYet(); }
void TRecordTable::Append() { notYet(); }
void TRecordTable::Post() { notYet(); }
void TRecordTable::Cancel() { notYet(); }
void TRecordTable::Delete() { notYet(); }
void TRecordTable::AppendRecord(const std::vector<TValue> &values) { notYet(); }
void TRecordTable::InsertRecord(const std::vector<TValue> &values) { notYet(); }
bool TRecordTable::Modified() const { notYet(); }
void TRecordTable::CheckBrowseMode() { notYet(); }
TBookmark TRecordTable::GetBookmark() const { notYet(); }
void TRecordTable::GotoBookmark(const TBookmark &bookmark) { notYet(); }
bool TRecordTable::BookmarkValid(const TBookmark &bookmark) const { notYet(); }
void TRecordTable::DisableControls() { notYet(); }
void TRecordTable::EnableControls() { notYet(); }
bool TRecordTable::ControlsDisabled() const { notYet(); }
void TRecordTable::EmptyDataSet() { notYet(); }
void TRecordTable::CloneCursor(TRecordTable &source) { notYet(); }
bool TRecordTable::LogChanges() const { notYet(); }
void TRecordTable::SetLogChanges(bool on) { notYet(); }
int TRecordTable::ChangeCount() const { notYet(); }
void TRecordTable::MergeChangeLog() { notYet(); }
void TRecordTable::CancelUpdates() { notYet(); }
void TRecordTable::SaveToStream(std::ostream &out) const { notYet(); }
void TRecordTable::LoadFromStream(std::istream &in) { notYet(); }
std::string TRecordTable::SaveToBytes() const { notYet(); }
void TRecordTable::LoadFromBytes(const std::string &packet) { notYet(); }
void TRecordTable::LoadFromBytes(const char *data, size_t size) { notYet(); }
void TRecordTable::SaveToFile(const std::string &path) const { notYet(); }
void TRecordTable::LoadFromFile(const std::string &path) { notYet(); }
void TRecordTable::AddDataLink(IDataLink *link) { notYet(); }
void TRecordTable::RemoveDataLink(IDataLink *link) { notYet(); }
TBookmark TRecordTable::RowAt(int viewIndex) const { notYet(); }
TValue TRecordTable::FieldValueAt(int viewIndex, int field) const { notYet(); }
int TRecordTable::ViewIndexOf(const TBookmark &bookmark) const { notYet(); }
TValue TRecordTable::BookmarkValue(const TBookmark &bookmark, int field) const { notYet(); }

const TFieldDef &TField::Def() const { notYet(); }
bool TField::IsNull() const { notYet(); }
int32_t TField::AsInteger() const { notYet(); }
std::string TField::AsString() const { notYet(); }
bool TField::AsBoolean() const { notYet(); }
std::string TField::AsBytes() const { notYet(); }
TValue TField::Value() const { notYet(); }
void TField::SetAsInteger(int32_t) { notYet(); }
void TField::SetAsString(const std::string &) { notYet(); }
void TField::SetAsBoolean(bool) { notYet(); }
void TField::SetAsBytes(const std::string &) { notYet(); }
void TField::SetValue(const TValue &) { notYet(); }
void TField::Clear() { notYet(); }

} // namespace kf
