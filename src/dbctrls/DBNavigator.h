#pragma once
// A navigator bar for the cursor behind a data source: First, Prior, Next,
// Last, Insert, Delete, Post and Cancel. Delete asks "Delete record?" first.
// Tab reaches the buttons (Space presses the focused one); a click leaves the
// focus where it was, so a grid keeps its row and its open cell while they
// are used. Each is named by its hint for assistive technology; the tool tip
// also names the grid's key for the same thing. A button is enabled exactly
// when pressing it does something: Post and Cancel also while a grid on the
// same data has a cell open, whose text Post takes along and Cancel drops.

#include "table/DataBinding.h"

#include <QWidget>
#include <array>

class QToolButton;

namespace kf {

class TDBGrid;
class TRecordTable;

class TDBNavigator : public QWidget, private IBoundView {
    Q_OBJECT
public:
    enum Button { nbFirst, nbPrior, nbNext, nbLast, nbInsert, nbDelete, nbPost, nbCancel };
    static constexpr int ButtonCount = 8;

    explicit TDBNavigator(QWidget *parent = nullptr);
    ~TDBNavigator() override;

    void SetDataSource(TDataSource *source) { m_binding.SetDataSource(source); } // not owned
    TDataSource *DataSource() const { return m_binding.DataSource(); }
    TRecordTable *DataSet() const { return m_binding.DataSet(); }

    QToolButton *ButtonOf(Button b) const { return m_buttons[size_t(b)]; }
    static QString HintOf(Button b);
    // The key of a grid that does what the button does ("Ctrl+Delete").
    static QString KeyOf(Button b);

    // Does what the button does (errors reach the application's error report).
    void BtnClick(Button b);

    QSize sizeHint() const override;

private:
    void BindingChanged() override { updateButtons(); }
    void DataSetReset(TRecordTable &) override { updateButtons(); }
    void RowsInserted(TRecordTable &, int, int) override { updateButtons(); }
    void RowsRemoved(TRecordTable &, int, int) override { updateButtons(); }
    void CurrentRowChanged(TRecordTable &) override { updateButtons(); }
    void StateChanged(TRecordTable &) override { updateButtons(); }
    void CurrentValuesChanged(TRecordTable &, int) override { updateButtons(); }

    void updateButtons();
    void run(Button b);
    // The grid on this navigator's data whose cell editor has the focus, if any.
    TDBGrid *editingGrid() const;

    std::array<QToolButton *, ButtonCount> m_buttons{};
    TDataBinding m_binding{*this}; // last: it lets go before the buttons go
};

} // namespace kf
