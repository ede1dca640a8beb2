#include "keyboard/ChartExportDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kf {

TChartExportDlg::TChartExportDlg(const QString &title, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ChartExportDlg"));
    setWindowTitle(QStringLiteral("Export chart"));
    setModal(true);

    FormatCombo = new QComboBox(this);
    FormatCombo->setObjectName(QStringLiteral("FormatCombo"));
    FormatCombo->addItem(QStringLiteral("SVG (vector, the legends as text)"), int(TChartFormat::Svg));
    FormatCombo->addItem(QStringLiteral("PDF (one page, to print)"), int(TChartFormat::Pdf));
    FormatCombo->addItem(QStringLiteral("PNG (picture)"), int(TChartFormat::Png));
    StyleCombo = new QComboBox(this);
    StyleCombo->setObjectName(QStringLiteral("StyleCombo"));
    StyleCombo->addItem(QStringLiteral("Characters at every level"), int(TChartStyle::Legends));
    StyleCombo->addItem(QStringLiteral("Key pictures"), int(TChartStyle::Pictures));
    FingerColoursCheckbox = new QCheckBox(QStringLiteral("Keys in finger colours, with their legend"), this);
    FingerColoursCheckbox->setObjectName(QStringLiteral("FingerColoursCheckbox"));
    FingerColoursCheckbox->setChecked(true);
    ByUseCheckbox = new QCheckBox(QStringLiteral("Keys coloured by use (the last keyboard statistics)"), this);
    ByUseCheckbox->setObjectName(QStringLiteral("ByUseCheckbox"));
    OfferUse(false, false);
    ScaleEd = new QDoubleSpinBox(this);
    ScaleEd->setObjectName(QStringLiteral("ScaleEd"));
    ScaleEd->setRange(0.5, TKeyboardChart::kMaxScale);
    ScaleEd->setSingleStep(0.5);
    ScaleEd->setDecimals(1);
    ScaleEd->setValue(2);
    ScaleEd->setSuffix(QStringLiteral(" x"));
    TransparentCheckbox = new QCheckBox(QStringLiteral("Transparent background"), this);
    TransparentCheckbox->setObjectName(QStringLiteral("TransparentCheckbox"));
    PaperCombo = new QComboBox(this);
    PaperCombo->setObjectName(QStringLiteral("PaperCombo"));
    PaperCombo->addItem(QStringLiteral("A4 landscape"), int(TChartPaper::A4));
    PaperCombo->addItem(QStringLiteral("Letter landscape"), int(TChartPaper::Letter));
    TrueScaleCheckbox = new QCheckBox(QStringLiteral("True scale (19.05 mm a key)"), this);
    TrueScaleCheckbox->setObjectName(QStringLiteral("TrueScaleCheckbox"));
    TitleEd = new QLineEdit(title, this);
    TitleEd->setObjectName(QStringLiteral("TitleEd"));
    TitleEd->setCursorPosition(0); // the title from its start

    // What each control is; the controls' names are the values they show.
    FormatCombo->setAccessibleDescription(QStringLiteral("Format"));
    StyleCombo->setAccessibleDescription(QStringLiteral("Style"));
    ScaleEd->setAccessibleDescription(QStringLiteral("Scale of the PNG picture"));
    PaperCombo->setAccessibleDescription(QStringLiteral("Paper of the PDF page"));
    TitleEd->setAccessibleDescription(QStringLiteral("Title line"));

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("&Format:"), FormatCombo);
    form->addRow(QStringLiteral("&Style:"), StyleCombo);
    form->addRow(QString(), FingerColoursCheckbox);
    form->addRow(QString(), ByUseCheckbox);
    form->addRow(QStringLiteral("S&cale (PNG):"), ScaleEd);
    form->addRow(QString(), TransparentCheckbox);
    form->addRow(QStringLiteral("&Paper (PDF):"), PaperCombo);
    form->addRow(QString(), TrueScaleCheckbox);
    form->addRow(QStringLiteral("&Title:"), TitleEd);
    ButtonBox = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    OkBn = ButtonBox->button(QDialogButtonBox::Ok);
    OkBn->setText(QStringLiteral("Export..."));
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(ButtonBox);

    connect(FormatCombo, qOverload<int>(&QComboBox::currentIndexChanged), this, [this] { FormatChanged(); });
    connect(ButtonBox, &QDialogButtonBox::accepted, this, [this] { emit ExportRequested(); });
    connect(ButtonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
    FormatChanged();
}

void TChartExportDlg::OfferUse(bool available, bool chosen)
{
    ByUseCheckbox->setEnabled(available);
    ByUseCheckbox->setChecked(available && chosen);
    ByUseCheckbox->setToolTip(available ? QString()
                                        : QStringLiteral("Count texts in the keyboard statistics window first"));
}

bool TChartExportDlg::ByUse() const
{
    return ByUseCheckbox->isEnabled() && ByUseCheckbox->isChecked();
}

TChartFormat TChartExportDlg::Format() const
{
    return TChartFormat(FormatCombo->currentData().toInt());
}

void TChartExportDlg::SetFormat(TChartFormat format)
{
    FormatCombo->setCurrentIndex(FormatCombo->findData(int(format)));
}

TChartOptions TChartExportDlg::Options() const
{
    TChartOptions o;
    o.Style = TChartStyle(StyleCombo->currentData().toInt());
    o.FingerColours = FingerColoursCheckbox->isChecked();
    o.Title = TitleEd->text();
    const TChartFormat format = Format();
    if (format == TChartFormat::Png)
        o.Scale = ScaleEd->value();
    o.Transparent = format != TChartFormat::Pdf && TransparentCheckbox->isChecked();
    if (format == TChartFormat::Pdf) {
        o.Paper = TChartPaper(PaperCombo->currentData().toInt());
        o.TrueScale = TrueScaleCheckbox->isChecked();
    }
    return o;
}

void TChartExportDlg::FormatChanged()
{
    const TChartFormat format = Format();
    ScaleEd->setEnabled(format == TChartFormat::Png);
    TransparentCheckbox->setEnabled(format != TChartFormat::Pdf);
    PaperCombo->setEnabled(format == TChartFormat::Pdf);
    TrueScaleCheckbox->setEnabled(format == TChartFormat::Pdf);
}

} // namespace kf
