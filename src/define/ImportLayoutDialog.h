#pragma once
// The dialog of "Import layout...": every layout and variant of the system
// with its description, narrowed by a filter box, the key block and the code
// page the characters are written in. It imports nothing itself: OK asks the
// window that opened it (ImportRequested), which closes it once the import
// is done.

#include "exchange/LayoutImport.h"
#include "exchange/XkbLayouts.h"

#include <QDialog>

#include <map>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSortFilterProxyModel;
class QStandardItemModel;
class QTreeView;

namespace kf {

class TImportLayoutDlg : public QDialog {
    Q_OBJECT
public:
    // layouts: the list to offer, in its order.
    explicit TImportLayoutDlg(std::vector<XkbLayout> layouts, QWidget *parent = nullptr);
    ~TImportLayoutDlg() override;

    // ---- controls, in tab order ------------------------------------------------
    QLineEdit *FilterEd;
    QLabel *CountLb;          // "12 of 1047 layouts"
    QTreeView *LayoutList;    // columns "Layout" (the id) and "Description"
    QComboBox *BlockCombo;    // ISO, ANSI
    QComboBox *CodePageCombo; // the 8-bit code pages; the one proposed for the layout chosen
    QLabel *ProposalLb;       // "CP1257 holds most letters of lt"
    QCheckBox *PicturesCheckbox;
    QDialogButtonBox *ButtonBox;
    QPushButton *OkBn;
    QPushButton *CancelBn;
    QPushButton *KleBn;       // the second source: a keyboard-layout-editor file

    // The layout of the list's current row; nullptr when none is shown.
    const XkbLayout *CurrentLayout() const;
    // Makes the layout with this id ("de(nodeadkeys)") current; false when
    // the filter hides it or it is not in the list.
    bool SelectLayout(const QString &id);
    // The ids the list shows, in its order: a layout whose id is the filter
    // text first, then the others in the list's order.
    QStringList ShownLayouts() const;
    // The code page proposed for the current layout: of the code pages
    // offered, the one that holds most of its letters (the one in force when
    // it holds as many); empty when none is current or the layout cannot be
    // read. CodePageCombo shows it whenever another layout becomes current.
    QString ProposedCodePage() const;

    // What the import is to take: the current layout, the key block and the
    // code page (empty for the code page in force).
    LayoutImportOptions Options() const;
    // Whether the key pictures are to be drawn after the import.
    bool DrawPictures() const;

signals:
    // OK (or Enter, or a double click on a layout) with a layout current.
    void ImportRequested();
    // "From a keyboard-layout-editor file...": the keyboard is to come from
    // such a file, its characters in the code page chosen.
    void KleImportRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void FilterChanged();
    void UpdateState();
    void RequestImport();
    void ProposeCodePage();

    std::vector<XkbLayout> m_layouts;
    QStandardItemModel *m_model;      // owned by the dialog
    QSortFilterProxyModel *m_filter;  // owned by the dialog
    std::vector<std::string> m_offered; // the code pages offered, the one in force first
    std::map<std::string, QString> m_proposals; // by layout id
    std::string m_proposedFor;          // the layout id of the proposal shown
};

} // namespace kf
