#pragma once
// A navigator bar for the cursor behind a data source: First, Prior, Next,
// Last, Insert, Delete, Post and Cancel. Delete asks "Delete record?" first.
// The buttons take no keyboard focus, so a grid keeps its row while they are
// used; each is named by its hint for assistive technology.

#include "table/DataBinding.h"

#include <QWidget>
#include <array>

class QToolButton;

namespace kf {

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

    std::array<QToolButton *, ButtonCount> m_buttons{};
    TDataBinding m_binding{*this}; // last: it lets go before the buttons go
};

} // namespace kf
