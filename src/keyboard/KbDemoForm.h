#pragma once
// The keyboard layout window: the drawn keyboard of the shared definition, a
// demo edit to type into, key dragging with grid snapping, and the links
// between characters and keys.

#include "ui/ChildForm.h"

#include "keyboard/GridSpinEdit.h"

#include <QPointer>

#include <memory>
#include <vector>

class QCheckBox;
class QAction;
class QLabel;
class QMenu;
class QPrinter;
class QPrintPreviewDialog;
class QPushButton;
class QTableView;
class QTextEdit;

namespace kf {

class ButtonType;
class TChartExportDlg;
class TDragDropFm;
class TKbDragFm;
class TCharCellModel;

class TKbDemoFm : public TChildForm {
    Q_OBJECT
public:
    explicit TKbDemoFm(QWidget *parent = nullptr);
    ~TKbDemoFm() override;

    void FormCreate() override;

    // Controls (owned by the window).
    QTextEdit *DemoEd;
    QPushButton *Button3; // "Save text"
    QPushButton *Button2; // "Refresh buttons"
    QLabel *DemoLabel;
    QLabel *CodePageLb; // the code page the characters are read and written in
    QLabel *Label1;
    TGridSpinEdit *GridXEd;
    QLabel *Label2;
    TGridSpinEdit *GridYEd;
    TDragDropFm *DragDropFrame;
    // Over the keyboard while it has no keys: says to press "Refresh buttons".
    QLabel *KeyboardHintLb;
    QTableView *KeyGrid;
    QCheckBox *ButtonDownCheckbox;
    QPushButton *Button4; // "Add char to key"
    QPushButton *Button5; // "Break link between char and key"
    QTableView *CharGrid;
    // "Chart": the keyboard chart's menu.
    QPushButton *ChartBn = nullptr;
    QMenu *ChartMenu;
    QAction *A_ExportChart; // "Export chart..."
    QAction *A_PrintChart;  // "Print chart..."
    // Colours by use for the chart, a share 0..1 per key of the key table;
    // empty: the last keyboard statistics' when chosen (the export dialog's
    // choice; a print follows the keys' "Colour keys by use").
    std::vector<double> ChartHeat;

    TKbDragFm *KbDragFrame() const;

    // "Export chart...": the export dialog (the open one, if any).
    void ExportChartClick();
    // The dialog's OK: the file through the dialog service, then the chart.
    void ExportChartTo(TChartExportDlg &dialog);
    // "Print chart...": the system's print dialog with a preview.
    void PrintChartClick();
    // The chart on a printer's page, landscape, as large as fits.
    void PrintChart(QPrinter &printer);
    TChartExportDlg *ChartDialog() const;
    QPrintPreviewDialog *PrintPreview() const;

    void Button2Click();
    void Button3Click();
    void Button4Click();
    void Button5Click();
    void GridXEdChange();
    void GridYEdChange();
    // Selecting the cell in column c, row r of the character grid.
    void CharGridSelectCell(int c, int r);
    void BuildKeyboard();
    void KeyClicked(ButtonType *Sender);

    // The character shown in a cell (empty when the cell shows nothing).
    QString CharGridCell(int c, int r) const;
    QString KeyGridCell(int r) const;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    // The controls at their places for the window's size: the demo text and
    // the keyboard grow with the window.
    void placeControls();
    // The hint shows while the keyboard has no keys.
    void ShowKeyboardHint();
    // Another code page is in force: the label, the grids and the key names
    // read the same bytes in it.
    void CodePageChanged();

    TCharCellModel *m_charModel;
    QPointer<ButtonType> m_markedKey; // the key marked by "Selected button down"
    TCharCellModel *m_keyModel;
    QPointer<TChartExportDlg> m_chartDlg;
    QPointer<QPrintPreviewDialog> m_printPreview;
    std::unique_ptr<QPrinter> m_printer; // the chart's printer, landscape at first
};

} // namespace kf
