#include "model/DefinitionHistory.h"

#include "common/CodePage.h"
#include "common/Translation.h"
#include "model/MainData.h"
#include "table/RowStore.h"

#include <QSignalBlocker>
#include <QUndoCommand>

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace kf {

namespace {

// A settings step takes `current` to `to` only in what differs between
// `from` and `to`: what the step changed.
PackageSettings restoreChanged(PackageSettings current, const PackageSettings &from, const PackageSettings &to)
{
    if (from.bkcolor != to.bkcolor)
        current.bkcolor = to.bkcolor;
    if (from.Author != to.Author)
        current.Author = to.Author;
    if (from.misc != to.misc)
        current.misc = to.misc;
    for (size_t k = 0; k < size_t(kFingerCount); ++k) {
        if (from.lengths[k] != to.lengths[k])
            current.lengths[k] = to.lengths[k];
        if (from.xValues[k] != to.xValues[k])
            current.xValues[k] = to.xValues[k];
        if (from.colors[k] != to.colors[k])
            current.colors[k] = to.colors[k];
    }
    return current;
}

// Byte values from this size on are held in the pool, once.
constexpr size_t kPooledBytes = 64;

uint64_t rowDataBytes(const TRowData &d)
{
    uint64_t n = d.arena.capacity() + d.alive.capacity();
    for (const TRowData::Column &c : d.cols)
        n += c.ints.capacity() * sizeof(int32_t) + c.offs.capacity() * sizeof(uint64_t)
           + c.lens.capacity() * sizeof(uint32_t) + c.nulls.capacity();
    return n;
}

} // namespace

// The large byte values of the steps, each held once: a value equal to one
// held already shares its bytes. Values no step holds any longer are
// forgotten.
class TDefinitionHistory::ValuePool {
public:
    std::shared_ptr<const std::string> Intern(const std::string &bytes)
    {
        const size_t key = std::hash<std::string_view>()(bytes);
        auto [first, last] = m_values.equal_range(key);
        for (auto it = first; it != last; ++it)
            if (std::shared_ptr<const std::string> held = it->second.lock(); held && *held == bytes)
                return held;
        if (m_values.size() >= 2 * m_pruneAt)
            Prune();
        auto held = std::make_shared<const std::string>(bytes);
        m_values.emplace(key, held);
        return held;
    }

    // The bytes of every value still held by a step.
    uint64_t Bytes()
    {
        Prune();
        uint64_t n = 0;
        for (const auto &v : m_values)
            if (const std::shared_ptr<const std::string> held = v.second.lock())
                n += held->size();
        return n;
    }

private:
    void Prune()
    {
        for (auto it = m_values.begin(); it != m_values.end();)
            it = it->second.expired() ? m_values.erase(it) : std::next(it);
        m_pruneAt = std::max<size_t>(64, m_values.size());
    }

    std::unordered_multimap<size_t, std::weak_ptr<const std::string>> m_values;
    size_t m_pruneAt = 64;
};

// One step: the row changes of the tables and the settings, oldest first.
// A row's values are held as small values and pooled large ones.
class TDefinitionHistory::StepCommand : public QUndoCommand {
public:
    struct Stored {
        TValue small;                             // when `large` is null
        std::shared_ptr<const std::string> large; // bytes held in the pool
    };
    struct Entry {
        TRecordTable *table = nullptr; // null: a change of the settings
        TRowChange::Kind kind = TRowChange::Kind::Modify;
        uint32_t row = UINT32_MAX;
        std::vector<Stored> before, after;
        std::shared_ptr<TRowData> rows; // Replace
        PackageSettings settingsBefore, settingsAfter;
    };
    // The session's code page before and after the step; empty: unchanged.
    std::string codePageBefore, codePageAfter;

    StepCommand(TDefinitionHistory &history, const QString &what) : QUndoCommand(what), m_history(history) {}

    std::vector<Entry> entries;
    uint64_t ownBytes = 0; // what the entries hold besides pooled values

    void add(TRecordTable &table, TRowChange &&c)
    {
        Entry e;
        e.table = &table;
        e.kind = c.kind;
        e.row = c.row;
        e.before = store(c.before);
        e.after = store(c.after);
        e.rows = std::move(c.rows);
        if (e.rows)
            ownBytes += rowDataBytes(*e.rows);
        ownBytes += sizeof(Entry) + (e.before.capacity() + e.after.capacity()) * sizeof(Stored);
        entries.push_back(std::move(e));
    }
    void addSettings(const PackageSettings &before, const PackageSettings &after)
    {
        Entry e;
        e.settingsBefore = before;
        e.settingsAfter = after;
        ownBytes += sizeof(Entry) + before.Author.size() + before.misc.size() + after.Author.size()
                  + after.misc.size();
        entries.push_back(std::move(e));
    }

    // The stack's own calls: nothing when the history has just applied the
    // step itself (and when the step is pushed, its changes being made).
    void undo() override
    {
        if (!std::exchange(m_applied, false))
            apply(true);
    }
    void redo() override
    {
        if (!std::exchange(m_applied, false))
            apply(false);
    }

    // Takes the step back (revert) or makes it again. On failure the rows and
    // settings are as they were, and the error is thrown.
    void apply(bool revert);
    // The next undo() or redo() of the stack finds the step applied.
    void markApplied() { m_applied = true; }

private:
    std::vector<Stored> store(const std::vector<TValue> &values)
    {
        std::vector<Stored> out(values.size());
        for (size_t i = 0; i < values.size(); ++i) {
            const TValue &v = values[i];
            if (v.kind() == TValue::Kind::Bytes && v.bytes().size() >= kPooledBytes) {
                out[i].large = m_history.m_pool->Intern(v.bytes());
            } else {
                out[i].small = v;
                ownBytes += v.bytes().size();
            }
        }
        return out;
    }
    static std::vector<TValue> values(const std::vector<Stored> &stored)
    {
        std::vector<TValue> out;
        out.reserve(stored.size());
        for (const Stored &s : stored)
            out.push_back(s.large ? TValue(std::string(*s.large)) : s.small);
        return out;
    }

    void applyEntry(Entry &e, bool revert)
    {
        if (!e.table) {
            m_history.m_dm.SetSettings(restoreChanged(m_history.m_dm.Settings(),
                                                      revert ? e.settingsAfter : e.settingsBefore,
                                                      revert ? e.settingsBefore : e.settingsAfter));
            return;
        }
        TRowChange c;
        c.kind = e.kind;
        c.row = e.row;
        c.rows = e.rows;
        // Only the side the change goes to is needed, and that of a Modify
        // which the table compares with its log.
        if (revert || e.kind == TRowChange::Kind::Modify)
            c.before = values(e.before);
        if (!revert || e.kind == TRowChange::Kind::Modify)
            c.after = values(e.after);
        if (revert)
            e.table->RevertChange(c);
        else
            e.table->ReapplyChange(c);
    }

    Entry &at(size_t k, bool revert) { return revert ? entries[entries.size() - 1 - k] : entries[k]; }

    TDefinitionHistory &m_history;
    bool m_applied = true;
};

void TDefinitionHistory::StepCommand::apply(bool revert)
{
    const PackageSettings settingsWere = m_history.m_dm.Settings();
    size_t done = 0;
    try {
        for (; done < entries.size(); ++done)
            applyEntry(at(done, revert), revert);
    } catch (...) {
        // The step stays whole: what was applied goes back, newest first.
        for (size_t k = done; k-- > 0;) {
            try {
                applyEntry(at(k, revert), !revert);
            } catch (...) {
                // Going back over changes just made cannot fail but for
                // memory; the first error is the one to report.
            }
        }
        throw;
    }

    // The current row of each table moves to the row that changed last.
    bool settings = false;
    std::map<TRecordTable *, uint32_t> rows;
    for (size_t k = 0; k < entries.size(); ++k) {
        const Entry &e = at(k, revert);
        if (!e.table)
            settings = true;
        else if (e.kind != TRowChange::Kind::Replace)
            rows[e.table] = e.row;
    }
    for (const auto &[table, row] : rows) {
        const TBookmark b = table->BookmarkOfRow(row);
        if (!b.IsNull() && table->ViewIndexOf(b) >= 0)
            table->GotoBookmark(b);
    }
    m_history.MergeTableLogs();
    emit m_history.Restored();
    if (settings)
        emit m_history.SettingsRestored(settingsWere, m_history.m_dm.Settings());
    if (!codePageBefore.empty())
        emit m_history.CodePageRestored(QString::fromStdString(revert ? codePageBefore : codePageAfter));
}

TDefinitionHistory::TDefinitionHistory(TDataMod &dm) : m_dm(dm), m_pool(std::make_unique<ValuePool>())
{
    m_stack.setUndoLimit(kStepLimit);
    m_dm.MainTbl.SetChangeObserver(this);
    m_dm.Ctbl.SetChangeObserver(this);
    connect(&m_stack, &QUndoStack::indexChanged, this, &TDefinitionHistory::Changed);
    connect(&m_stack, &QUndoStack::cleanChanged, this, &TDefinitionHistory::Changed);
    connect(&m_stack, &QUndoStack::undoTextChanged, this, &TDefinitionHistory::Changed);
    connect(&m_stack, &QUndoStack::redoTextChanged, this, &TDefinitionHistory::Changed);
}

TDefinitionHistory::~TDefinitionHistory()
{
    if (m_dm.MainTbl.ChangeObserver() == this)
        m_dm.MainTbl.SetChangeObserver(nullptr);
    if (m_dm.Ctbl.ChangeObserver() == this)
        m_dm.Ctbl.SetChangeObserver(nullptr);
    delete m_open;
}

TDefinitionHistory::Step::Step(TDefinitionHistory &history, const QString &what) : m_history(history)
{
    m_history.BeginStep(what);
}

TDefinitionHistory::Step::~Step()
{
    m_history.EndStep();
}

void TDefinitionHistory::BeginStep(const QString &what)
{
    if (m_depth++ > 0)
        return;
    m_open = new StepCommand(*this, what);
    m_settingsBefore = m_dm.Settings();
    m_codePageBefore = CodePage::current().name();
}

void TDefinitionHistory::EndStep()
{
    if (m_depth == 0 || --m_depth > 0)
        return;
    std::unique_ptr<StepCommand> step(m_open);
    m_open = nullptr;
    const PackageSettings after = m_dm.Settings();
    if (after != m_settingsBefore)
        step->addSettings(m_settingsBefore, after);
    if (step->entries.empty())
        return;
    if (const std::string codePage = CodePage::current().name(); codePage != m_codePageBefore) {
        step->codePageBefore = m_codePageBefore;
        step->codePageAfter = codePage;
    }
    Push(step.release());
}

void TDefinitionHistory::RowsChanged(TRecordTable &table, std::vector<TRowChange> changes)
{
    if (changes.empty())
        return;
    std::unique_ptr<StepCommand> own;
    StepCommand *step = m_open;
    if (!step) {
        own = std::make_unique<StepCommand>(*this, NameOf(table, changes));
        step = own.get();
    }
    for (TRowChange &c : changes)
        step->add(table, std::move(c));
    MergeTableLogs();
    if (own)
        Push(own.release());
}

void TDefinitionHistory::MergeTableLogs()
{
    for (TRecordTable *t : {&m_dm.MainTbl, &m_dm.Ctbl})
        if (t->Active() && t->ChangeCount() > 0)
            t->MergeChangeLog();
}

void TDefinitionHistory::Push(StepCommand *step)
{
    m_stack.push(step);
    TrimToMemoryLimit();
}

uint64_t TDefinitionHistory::MemoryUse() const
{
    uint64_t n = m_pool->Bytes();
    for (int i = 0; i < m_stack.count(); ++i)
        n += static_cast<const StepCommand *>(m_stack.command(i))->ownBytes;
    return n;
}

void TDefinitionHistory::SetMemoryLimit(uint64_t bytes)
{
    m_memoryLimit = bytes;
    TrimToMemoryLimit();
}

void TDefinitionHistory::TrimToMemoryLimit()
{
    uint64_t use = MemoryUse();
    if (use <= m_memoryLimit)
        return;
    // Which oldest steps to drop: their own bytes and the pooled values no
    // newer step holds go with them.
    int drop = 0;
    while (drop < m_stack.count() - 1 && use > m_memoryLimit) {
        ++drop;
        uint64_t rest = 0;
        std::set<const std::string *> large;
        for (int i = drop; i < m_stack.count(); ++i) {
            const auto *step = static_cast<const StepCommand *>(m_stack.command(i));
            rest += step->ownBytes;
            for (const StepCommand::Entry &e : step->entries)
                for (const auto *side : {&e.before, &e.after})
                    for (const StepCommand::Stored &v : *side)
                        if (v.large && large.insert(v.large.get()).second)
                            rest += v.large->size();
        }
        use = rest;
    }
    if (drop > 0)
        DropOldest(drop);
}

void TDefinitionHistory::DropOldest(int n)
{
    const int count = m_stack.count();
    const int index = m_stack.index() - n;
    const int clean = m_stack.cleanIndex() - n; // below 0: the saved point goes
    n = std::clamp(n, 0, count);
    if (n == 0)
        return;
    // The kept steps move to fresh commands; the stack is built again with
    // them, none applied again (each is marked applied as the stack calls it).
    std::vector<std::unique_ptr<StepCommand>> kept;
    for (int i = n; i < count; ++i) {
        auto *old = const_cast<StepCommand *>(static_cast<const StepCommand *>(m_stack.command(i)));
        auto step = std::make_unique<StepCommand>(*this, old->text());
        step->entries = std::move(old->entries);
        step->ownBytes = old->ownBytes;
        kept.push_back(std::move(step));
    }
    {
        const QSignalBlocker quiet(&m_stack);
        m_stack.clear();
        for (std::unique_ptr<StepCommand> &step : kept)
            m_stack.push(step.release()); // a new command is applied already
        const auto moveTo = [this](int target) {
            while (m_stack.index() > target) {
                const_cast<StepCommand *>(static_cast<const StepCommand *>(m_stack.command(m_stack.index() - 1)))
                    ->markApplied();
                m_stack.undo();
            }
            while (m_stack.index() < target) {
                const_cast<StepCommand *>(static_cast<const StepCommand *>(m_stack.command(m_stack.index())))
                    ->markApplied();
                m_stack.redo();
            }
        };
        if (clean >= 0) {
            moveTo(clean);
            m_stack.setClean();
        } else {
            m_stack.resetClean();
        }
        moveTo(std::max(index, 0));
    }
    emit Changed();
}

QString TDefinitionHistory::NameOf(TRecordTable &table, const std::vector<TRowChange> &changes) const
{
    const bool keys = &table == &m_dm.MainTbl;
    const TRowChange &first = changes.front();
    if (first.kind == TRowChange::Kind::Replace)
        return TranslateQ(keys ? "clear keys" : "clear characters");
    if (changes.size() > 1) {
        const bool deletes = std::all_of(changes.begin(), changes.end(),
                                         [](const TRowChange &c) { return c.kind == TRowChange::Kind::Delete; });
        return TranslateQ(deletes ? "delete of %1 rows" : "changes of %1 rows").arg(changes.size());
    }
    const int nameField = table.FindFieldIndex("Name");
    const std::vector<TValue> &values = first.kind == TRowChange::Kind::Delete ? first.before : first.after;
    QString name;
    if (nameField >= 0 && size_t(nameField) < values.size() && !values[size_t(nameField)].IsNull())
        name = CodePage::current().decode(values[size_t(nameField)].bytes());
    switch (first.kind) {
    case TRowChange::Kind::Insert:
        return TranslateQ("new row '%1'").arg(name);
    case TRowChange::Kind::Delete:
        return TranslateQ("delete of row '%1'").arg(name);
    default:
        break;
    }
    // What changed names the step: a key's picture, a key's place, or an edit.
    std::set<std::string> changed;
    const std::vector<TFieldDef> &defs = table.FieldDefs();
    for (size_t f = 0; f < defs.size() && f < first.before.size() && f < first.after.size(); ++f)
        if (!(first.before[f] == first.after[f]))
            changed.insert(defs[f].Name);
    if (keys && !changed.empty()) {
        const auto only = [&](std::initializer_list<const char *> fields) {
            return std::all_of(changed.begin(), changed.end(), [&](const std::string &n) {
                return std::find_if(fields.begin(), fields.end(), [&](const char *f) { return n == f; })
                       != fields.end();
            });
        };
        if (changed.count("Glyph") && only({"Glyph", "Width", "Height"}))
            return TranslateQ("key picture");
        if (only({"X", "Y"}))
            return TranslateQ("move key %1").arg(name);
    }
    return TranslateQ("edit of row '%1'").arg(name);
}

void TDefinitionHistory::PostPending()
{
    for (TRecordTable *t : {&m_dm.MainTbl, &m_dm.Ctbl, &m_dm.CtblF, &m_dm.CtblD})
        if (t->Active())
            t->CheckBrowseMode();
}

void TDefinitionHistory::Undo()
{
    if (m_depth > 0)
        return;
    PostPending();
    if (!m_stack.canUndo())
        return;
    // The step is applied before the stack moves: a step that cannot be
    // taken back leaves the history where it was.
    auto *step = const_cast<StepCommand *>(static_cast<const StepCommand *>(m_stack.command(m_stack.index() - 1)));
    step->apply(true);
    step->markApplied();
    m_stack.undo();
}

void TDefinitionHistory::Redo()
{
    if (m_depth > 0)
        return;
    PostPending();
    if (!m_stack.canRedo())
        return;
    auto *step = const_cast<StepCommand *>(static_cast<const StepCommand *>(m_stack.command(m_stack.index())));
    step->apply(false);
    step->markApplied();
    m_stack.redo();
}

void TDefinitionHistory::Clear()
{
    m_stack.clear();
}

void TDefinitionHistory::SetSaved()
{
    m_stack.setClean();
}

bool TDefinitionHistory::IsSaved() const
{
    if (!m_stack.isClean())
        return false;
    for (const TRecordTable *t : {&m_dm.MainTbl, &m_dm.Ctbl, &m_dm.CtblF, &m_dm.CtblD}) {
        const TDataSetState s = t->State();
        if ((s == TDataSetState::Edit || s == TDataSetState::Insert) && t->Modified())
            return false;
    }
    return true;
}

} // namespace kf
