#include "model/DefinitionHistory.h"

#include "common/CodePage.h"
#include "common/Translation.h"
#include "model/MainData.h"

#include <QUndoCommand>

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>

namespace kf {

// One step: the row changes of the tables and the settings, oldest first.
class TDefinitionHistory::StepCommand : public QUndoCommand {
public:
    struct Entry {
        TRecordTable *table = nullptr; // null: a change of the settings
        TRowChange change;
        PackageSettings before, after;
    };

    StepCommand(TDefinitionHistory &history, const QString &what) : QUndoCommand(what), m_history(history) {}

    std::vector<Entry> entries;

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
    void applyEntry(Entry &e, bool revert)
    {
        if (!e.table)
            m_history.m_dm.SetSettings(revert ? e.before : e.after);
        else if (revert)
            e.table->RevertChange(e.change);
        else
            e.table->ReapplyChange(e.change);
    }

    Entry &at(size_t k, bool revert) { return revert ? entries[entries.size() - 1 - k] : entries[k]; }

    TDefinitionHistory &m_history;
    bool m_applied = true;
};

void TDefinitionHistory::StepCommand::apply(bool revert)
{
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
        else if (e.change.kind != TRowChange::Kind::Replace)
            rows[e.table] = e.change.row;
    }
    for (const auto &[table, row] : rows) {
        const TBookmark b = table->BookmarkOfRow(row);
        if (!b.IsNull() && table->ViewIndexOf(b) >= 0)
            table->GotoBookmark(b);
    }
    emit m_history.Restored();
    if (settings)
        emit m_history.SettingsRestored();
}

TDefinitionHistory::TDefinitionHistory(TDataMod &dm) : m_dm(dm)
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
}

void TDefinitionHistory::EndStep()
{
    if (m_depth == 0 || --m_depth > 0)
        return;
    std::unique_ptr<StepCommand> step(m_open);
    m_open = nullptr;
    const PackageSettings after = m_dm.Settings();
    if (after != m_settingsBefore) {
        StepCommand::Entry e;
        e.before = m_settingsBefore;
        e.after = after;
        step->entries.push_back(std::move(e));
    }
    if (!step->entries.empty())
        m_stack.push(step.release());
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
    for (TRowChange &c : changes) {
        StepCommand::Entry e;
        e.table = &table;
        e.change = std::move(c);
        step->entries.push_back(std::move(e));
    }
    if (own)
        m_stack.push(own.release());
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
