#pragma once
// The undo history of the keyboard definition: one step per user action on
// the key table, the character table or the settings, kept in a QUndoStack
// (the last kStepLimit steps, and no more than the memory limit allows).
//
// The record tables report every committed change (RowChange.h). Changes made
// while a Step is open are one step under the Step's name ("clear
// characters"); settings that differ at the end of a Step are part of it. A
// change made outside any Step is a step of its own, named after what changed
// ("edit of row 'a normal'", "key picture", "move key A").
//
// Undo and Redo post the tables' pending edits first, then take the newest
// step back or make it again without recording anything new; the rows' and
// settings' windows follow through the tables and the signals below. The
// history knows whether the definition is as loaded or last saved
// (IsSaved); undoing back to that point makes it so again.
//
// A step of the settings takes back or makes again only the settings that
// step changed: a colour step leaves the author, and every other setting,
// as it is at the time of the undo.
//
// Large values (key pictures) are held once however many steps hold them:
// a picture a row keeps through an edit of its hint, or through a hundred
// moves of the key, costs its bytes once.

#include "model/Readme.h"
#include "table/RowChange.h"

#include <QObject>
#include <QString>
#include <QUndoStack>

#include <cstdint>
#include <memory>
#include <string>

namespace kf {

class TDataMod;

class TDefinitionHistory : public QObject, private IRowChangeObserver {
    Q_OBJECT
public:
    static constexpr int kStepLimit = 1000;
    // The memory the steps may hold (shared values counted once); the oldest
    // steps go when more is held, but never the newest one.
    static constexpr uint64_t kMemoryLimit = 64ull << 20;

    // Hears the changes of dm's key table and character table until destroyed.
    explicit TDefinitionHistory(TDataMod &dm);
    ~TDefinitionHistory() override;

    // Every change of the definition while it lives is one step named `what`
    // (already translated). Steps opened inside it join it. A step without a
    // change leaves no trace.
    class Step {
    public:
        Step(TDefinitionHistory &history, const QString &what);
        ~Step();
        Step(const Step &) = delete;
        Step &operator=(const Step &) = delete;

    private:
        TDefinitionHistory &m_history;
    };

    bool CanUndo() const { return m_stack.canUndo(); }
    bool CanRedo() const { return m_stack.canRedo(); }
    // The name of the step Undo / Redo would take ("move key A"); empty when none.
    QString UndoText() const { return m_stack.undoText(); }
    QString RedoText() const { return m_stack.redoText(); }
    int Count() const { return m_stack.count(); }
    // The bytes the steps hold, shared values once; and the limit in force.
    uint64_t MemoryUse() const;
    uint64_t MemoryLimit() const { return m_memoryLimit; }
    // A new limit drops the oldest steps it leaves no room for.
    void SetMemoryLimit(uint64_t bytes);

    // Post the pending edits of the tables (a refused post throws and nothing
    // is undone), then take back / make again the newest step. Nothing when
    // there is no step. Throws what the tables throw; a step that fails
    // halfway is put back as it was.
    void Undo();
    void Redo();

    // Forgets every step (a package was loaded); the definition counts as saved.
    void Clear();
    // The definition as it is now has been saved.
    void SetSaved();
    // Whether the definition is as loaded or last saved: the history is at
    // that point and no row of either table is in edit with a changed field.
    bool IsSaved() const;

    // The stack itself, for views of it; steps are added through the tables.
    const QUndoStack &Stack() const { return m_stack; }

signals:
    // The step names or the saved point changed (a step added, undone,
    // redone, the history cleared or saved).
    void Changed();
    // An undo or redo changed the rows or the settings.
    void Restored();
    // An undo or redo changed the settings (colours, finger lengths, author,
    // info): they were `from` and are `to`; only what differs was touched.
    void SettingsRestored(const kf::PackageSettings &from, const kf::PackageSettings &to);
    // An undo or redo took back or made again a step during which the
    // session's code page changed (a layout import): the definition's
    // characters are bytes of `codePage` again. The history leaves choosing
    // it to the windows' code-page choice.
    void CodePageRestored(const QString &codePage);

private:
    class StepCommand;
    friend class StepCommand;
    class ValuePool;

    void RowsChanged(TRecordTable &table, std::vector<TRowChange> changes) override;
    void BeginStep(const QString &what);
    void EndStep();
    void PostPending();
    // The name of a step made of these changes alone.
    QString NameOf(TRecordTable &table, const std::vector<TRowChange> &changes) const;
    // The history holds every change of the tables: their own change logs,
    // which would hold each changed row (pictures and all) once more until a
    // save merges them, are merged at once.
    void MergeTableLogs();
    // Pushes a gathered step and drops the oldest steps beyond the memory limit.
    void Push(StepCommand *step);
    void TrimToMemoryLimit();
    // Builds the stack again without its `n` oldest steps (QUndoStack drops
    // steps only by its count limit).
    void DropOldest(int n);

    TDataMod &m_dm;
    QUndoStack m_stack;
    int m_depth = 0;                        // open Steps
    StepCommand *m_open = nullptr;          // the step being gathered (owned until pushed)
    PackageSettings m_settingsBefore;       // at the outermost Step's start
    std::string m_codePageBefore;           // the session's code page there
    std::unique_ptr<ValuePool> m_pool;      // large values, shared between steps
    uint64_t m_memoryLimit = kMemoryLimit;
};

} // namespace kf
