#include "define/ImportLayoutDialog.h"

#include "common/CodePage.h"
#include "common/Errors.h"
#include "dbctrls/FocusTreeView.h"
#include "ui/ValueLabel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

namespace kf {

namespace {

constexpr int kIndexRole = Qt::UserRole + 1; // the layout's place in m_layouts

// The filtered list: a layout whose id is the filter text (in any case)
// comes first, the others keep the list's order.
class LayoutFilter : public QSortFilterProxyModel {
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

    void setText(const QString &text)
    {
        m_text = text;
        setFilterFixedString(text);
        invalidate(); // the order depends on the text too
    }
    bool isExact(const QModelIndex &index) const
    {
        return !m_text.isEmpty() && index.siblingAtColumn(0).data().toString().compare(m_text, Qt::CaseInsensitive) == 0;
    }

protected:
    bool lessThan(const QModelIndex &left, const QModelIndex &right) const override
    {
        const bool l = isExact(left), r = isExact(right);
        if (l != r)
            return l;
        return left.row() < right.row();
    }

private:
    QString m_text;
};

} // namespace

TImportLayoutDlg::TImportLayoutDlg(std::vector<XkbLayout> layouts, QWidget *parent)
    : QDialog(parent), m_layouts(std::move(layouts))
{
    setObjectName(QStringLiteral("ImportLayoutDlg"));
    setWindowTitle(QStringLiteral("Import layout"));
    setAccessibleName(windowTitle());

    m_model = new QStandardItemModel(0, 2, this);
    m_model->setHorizontalHeaderLabels({QStringLiteral("Layout"), QStringLiteral("Description")});
    for (size_t i = 0; i < m_layouts.size(); ++i) {
        const XkbLayout &l = m_layouts[i];
        auto *id = new QStandardItem(QString::fromStdString(l.Id()));
        id->setData(int(i), kIndexRole);
        id->setEditable(false);
        auto *description = new QStandardItem(QString::fromStdString(l.description));
        description->setEditable(false);
        m_model->appendRow({id, description});
    }
    m_filter = new LayoutFilter(this);
    m_filter->setSourceModel(m_model);
    m_filter->setFilterKeyColumn(-1); // the id or the description
    m_filter->setFilterCaseSensitivity(Qt::CaseInsensitive);
    m_filter->sort(0);

    auto *filterLb = new QLabel(QStringLiteral("&Filter:"), this);
    FilterEd = new QLineEdit(this);
    FilterEd->setObjectName(QStringLiteral("FilterEd"));
    FilterEd->setAccessibleName(QStringLiteral("Filter"));
    FilterEd->setPlaceholderText(QStringLiteral("Part of a name or description, e.g. German"));
    FilterEd->setClearButtonEnabled(true);
    FilterEd->installEventFilter(this);
    filterLb->setBuddy(FilterEd);
    CountLb = new QLabel(this);
    CountLb->setObjectName(QStringLiteral("CountLb"));
    SetupValueLabel(CountLb, QStringLiteral("Layouts shown"));

    // While the filter has the focus, the list's current row is not focused.
    LayoutList = new TFocusTreeView(this);
    LayoutList->setObjectName(QStringLiteral("LayoutList"));
    LayoutList->setAccessibleName(QStringLiteral("Layouts"));
    LayoutList->setModel(m_filter);
    LayoutList->setRootIsDecorated(false);
    LayoutList->setUniformRowHeights(true);
    LayoutList->setAllColumnsShowFocus(true);
    LayoutList->setSelectionMode(QAbstractItemView::SingleSelection);
    LayoutList->setSelectionBehavior(QAbstractItemView::SelectRows);
    LayoutList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    LayoutList->setColumnWidth(0, 150);
    LayoutList->header()->setStretchLastSection(true);

    auto *blockLb = new QLabel(QStringLiteral("&Key block:"), this);
    BlockCombo = new QComboBox(this);
    BlockCombo->setObjectName(QStringLiteral("BlockCombo"));
    BlockCombo->setAccessibleName(QStringLiteral("Key block"));
    BlockCombo->addItem(QStringLiteral("ISO: extra key left of Z, tall Enter"), int(KeyBlock::Iso));
    BlockCombo->addItem(QStringLiteral("ANSI: no key left of Z, wide Enter"), int(KeyBlock::Ansi));
    blockLb->setBuddy(BlockCombo);

    auto *codePageLb = new QLabel(QStringLiteral("Code &page:"), this);
    CodePageCombo = new QComboBox(this);
    CodePageCombo->setObjectName(QStringLiteral("CodePageCombo"));
    CodePageCombo->setAccessibleName(QStringLiteral("Code page"));
    codePageLb->setBuddy(CodePageCombo);
    {
        const std::string inForce = CodePage::current().name();
        std::vector<std::string> names = CodePage::desktopCodePages();
        if (std::find(names.begin(), names.end(), inForce) == names.end())
            names.insert(names.begin(), inForce);
        m_offered = ImportCodePages();
        for (const std::string &name : names) {
            const QString n = QString::fromStdString(name);
            if (name == inForce) {
                // The code page in force is the one the import uses unnamed.
                CodePageCombo->addItem(QStringLiteral("%1 (in force)").arg(n), QString());
                CodePageCombo->setCurrentIndex(CodePageCombo->count() - 1);
            } else {
                CodePageCombo->addItem(n, n);
            }
        }
    }

    ProposalLb = new QLabel(this);
    ProposalLb->setObjectName(QStringLiteral("ProposalLb"));
    SetupValueLabel(ProposalLb, QStringLiteral("Code page proposed"));

    PicturesCheckbox = new QCheckBox(QStringLiteral("&Draw key pictures in the finger colours"), this);
    PicturesCheckbox->setObjectName(QStringLiteral("PicturesCheckbox"));
    PicturesCheckbox->setChecked(true);

    ButtonBox = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    OkBn = ButtonBox->button(QDialogButtonBox::Ok);
    OkBn->setObjectName(QStringLiteral("OkBn"));
    OkBn->setText(QStringLiteral("&Import"));
    OkBn->setDefault(true);
    CancelBn = ButtonBox->button(QDialogButtonBox::Cancel);
    CancelBn->setObjectName(QStringLiteral("CancelBn"));
    KleBn = ButtonBox->addButton(QStringLiteral("From a &keyboard-layout-editor file..."), QDialogButtonBox::ActionRole);
    KleBn->setObjectName(QStringLiteral("KleBn"));
    KleBn->setToolTip(QStringLiteral("Import the keys of a keyboard-layout-editor file (JSON) instead of a system layout"));
    KleBn->setAutoDefault(false);

    auto *top = new QHBoxLayout;
    top->addWidget(filterLb);
    top->addWidget(FilterEd, 1);
    top->addWidget(CountLb);
    auto *form = new QFormLayout;
    form->addRow(blockLb, BlockCombo);
    form->addRow(codePageLb, CodePageCombo);
    form->addRow(QString(), ProposalLb);
    form->addRow(QString(), PicturesCheckbox);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(LayoutList, 1);
    layout->addLayout(form);
    layout->addWidget(ButtonBox);

    setTabOrder(FilterEd, LayoutList);
    setTabOrder(LayoutList, BlockCombo);
    setTabOrder(BlockCombo, CodePageCombo);
    setTabOrder(CodePageCombo, PicturesCheckbox);
    setTabOrder(PicturesCheckbox, OkBn);
    setTabOrder(OkBn, CancelBn);
    setTabOrder(CancelBn, KleBn);

    connect(FilterEd, &QLineEdit::textChanged, this, [this] { FilterChanged(); });
    connect(LayoutList->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] {
        UpdateState();
        ProposeCodePage();
    });
    connect(LayoutList, &QTreeView::doubleClicked, this, [this] { RequestImport(); });
    connect(ButtonBox, &QDialogButtonBox::accepted, this, [this] { RequestImport(); });
    connect(ButtonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(KleBn, &QPushButton::clicked, this, [this] { emit KleImportRequested(); });

    resize(620, 480);
    FilterChanged();
    ProposeCodePage();
    FilterEd->setFocus();
}

TImportLayoutDlg::~TImportLayoutDlg() = default;

const XkbLayout *TImportLayoutDlg::CurrentLayout() const
{
    const QModelIndex current = LayoutList->currentIndex();
    if (!current.isValid())
        return nullptr;
    const QModelIndex source = m_filter->mapToSource(current.siblingAtColumn(0));
    const int i = m_model->data(source, kIndexRole).toInt();
    return i >= 0 && size_t(i) < m_layouts.size() ? &m_layouts[size_t(i)] : nullptr;
}

bool TImportLayoutDlg::SelectLayout(const QString &id)
{
    for (int r = 0; r < m_filter->rowCount(); ++r) {
        const QModelIndex index = m_filter->index(r, 0);
        if (index.data().toString() == id) {
            LayoutList->setCurrentIndex(index);
            LayoutList->scrollTo(index);
            return true;
        }
    }
    return false;
}

QStringList TImportLayoutDlg::ShownLayouts() const
{
    QStringList ids;
    for (int r = 0; r < m_filter->rowCount(); ++r)
        ids << m_filter->index(r, 0).data().toString();
    return ids;
}

LayoutImportOptions TImportLayoutDlg::Options() const
{
    LayoutImportOptions options;
    if (const XkbLayout *l = CurrentLayout()) {
        options.layout = l->name;
        options.variant = l->variant;
    }
    options.block = KeyBlock(BlockCombo->currentData().toInt());
    options.codePage = CodePageCombo->currentData().toString().toStdString();
    return options;
}

bool TImportLayoutDlg::DrawPictures() const
{
    return PicturesCheckbox->isChecked();
}

QString TImportLayoutDlg::ProposedCodePage() const
{
    const XkbLayout *layout = CurrentLayout();
    if (!layout)
        return QString();
    const auto it = m_proposals.find(layout->Id());
    return it == m_proposals.end() ? QString() : it->second;
}

void TImportLayoutDlg::ProposeCodePage()
{
    const XkbLayout *layout = CurrentLayout();
    if (!layout) {
        ProposalLb->clear();
        m_proposedFor.clear();
        return;
    }
    const std::string id = layout->Id();
    if (id == m_proposedFor)
        return; // a choice made for this layout stays
    m_proposedFor = id;
    auto it = m_proposals.find(id);
    if (it == m_proposals.end()) {
        QString proposal;
        try {
            LayoutImportOptions options;
            options.layout = layout->name;
            options.variant = layout->variant;
            options.block = KeyBlock(BlockCombo->currentData().toInt());
            proposal = QString::fromStdString(
                kf::ProposeCodePage(options, m_offered, LanguageCodePage(layout->languages)));
        } catch (const Exception &) {
            // A layout the system cannot read: the import tells why.
        }
        it = m_proposals.emplace(id, proposal).first;
    }
    const QString proposal = it->second;
    if (proposal.isEmpty()) {
        ProposalLb->clear();
        return;
    }
    const bool inForce = proposal.toStdString() == CodePage::current().name();
    const int index = CodePageCombo->findData(inForce ? QString() : proposal);
    if (index >= 0)
        CodePageCombo->setCurrentIndex(index);
    ProposalLb->setText(QStringLiteral("%1 holds most letters of %2").arg(proposal, QString::fromStdString(id)));
}

void TImportLayoutDlg::FilterChanged()
{
    auto *filter = static_cast<LayoutFilter *>(m_filter);
    filter->setText(FilterEd->text().trimmed());
    // A layout whose id was typed becomes current; otherwise some layout
    // stays current while any is shown, so Enter imports it.
    const QModelIndex first = m_filter->index(0, 0);
    if (first.isValid() && filter->isExact(first))
        LayoutList->setCurrentIndex(first);
    else if (!LayoutList->currentIndex().isValid() && m_filter->rowCount() > 0)
        LayoutList->setCurrentIndex(first);
    // The current layout stays in sight as the list shrinks and grows.
    if (LayoutList->currentIndex().isValid())
        LayoutList->scrollTo(LayoutList->currentIndex());
    UpdateState();
}

void TImportLayoutDlg::UpdateState()
{
    CountLb->setText(QStringLiteral("%1 of %2 layouts").arg(m_filter->rowCount()).arg(m_model->rowCount()));
    OkBn->setEnabled(CurrentLayout() != nullptr);
}

void TImportLayoutDlg::RequestImport()
{
    if (CurrentLayout())
        emit ImportRequested();
}

bool TImportLayoutDlg::eventFilter(QObject *watched, QEvent *event)
{
    // Up and down in the filter box move through the list.
    if (watched == FilterEd && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp || key == Qt::Key_PageDown) {
            QKeyEvent copy(QEvent::KeyPress, key, static_cast<QKeyEvent *>(event)->modifiers());
            QCoreApplication::sendEvent(LayoutList, &copy);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace kf
