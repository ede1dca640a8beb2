#pragma once
// The dialog of "Export chart...": the format (SVG, PDF, PNG), the style
// (characters or the keys' pictures), finger colours on or off, colours by
// use from the last statistics, the PNG's
// scale and transparent background, the PDF's paper and true scale, and the
// title line. It writes nothing itself: OK asks the window that opened it
// (ExportRequested), which asks for the file through the dialog service.

#include "exchange/KeyboardChart.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QDoubleSpinBox;
class QLineEdit;
class QPushButton;

namespace kf {

class TChartExportDlg : public QDialog {
    Q_OBJECT
public:
    // title: the title line offered (the definition's author and info).
    explicit TChartExportDlg(const QString &title, QWidget *parent = nullptr);

    // ---- controls, in tab order ------------------------------------------------
    QComboBox *FormatCombo; // SVG, PDF, PNG
    QComboBox *StyleCombo;  // characters, key pictures
    QCheckBox *FingerColoursCheckbox;
    // Keys coloured by their use in the last statistics; enabled only when
    // there are statistics.
    QCheckBox *ByUseCheckbox;
    QDoubleSpinBox *ScaleEd;  // PNG only
    QCheckBox *TransparentCheckbox; // PNG and SVG
    QComboBox *PaperCombo;    // PDF only: A4, Letter
    QCheckBox *TrueScaleCheckbox; // PDF only
    QLineEdit *TitleEd;
    QDialogButtonBox *ButtonBox;
    QPushButton *OkBn;

    TChartFormat Format() const;
    void SetFormat(TChartFormat format);
    TChartOptions Options() const;
    // Whether colours by use can be chosen, and whether they are.
    void OfferUse(bool available, bool chosen);
    bool ByUse() const;

signals:
    // OK was pressed: the window exports, then closes the dialog.
    void ExportRequested();

private:
    // Only the choices the format uses are enabled.
    void FormatChanged();
};

} // namespace kf
