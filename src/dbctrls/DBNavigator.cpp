#include "dbctrls/DBNavigator.h"

#include "common/ErrorReport.h"
#include "common/Dialogs.h"
#include "common/Translation.h"
#include "dbctrls/DBGrid.h"
#include "table/RecordTable.h"

#include <QApplication>

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>

namespace kf {

namespace {

// The glyphs of the bar, drawn in the button's text colour.
QIcon navigatorIcon(TDBNavigator::Button b, const QColor &ink)
{
    const int s = 16;
    QPixmap pm(s, s);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    auto triangle = [&](qreal x, bool left) {
        QPainterPath path;
        if (left) {
            path.moveTo(x + 6, 3);
            path.lineTo(x, 8);
            path.lineTo(x + 6, 13);
        } else {
            path.moveTo(x, 3);
            path.lineTo(x + 6, 8);
            path.lineTo(x, 13);
        }
        path.closeSubpath();
        p.drawPath(path);
    };
    switch (b) {
    case TDBNavigator::nbFirst:
        p.drawRect(QRectF(3, 3, 2, 10));
        triangle(6, true);
        break;
    case TDBNavigator::nbPrior:
        triangle(5, true);
        break;
    case TDBNavigator::nbNext:
        triangle(5, false);
        break;
    case TDBNavigator::nbLast:
        triangle(4, false);
        p.drawRect(QRectF(11, 3, 2, 10));
        break;
    case TDBNavigator::nbInsert:
        p.drawRect(QRectF(7, 3, 2, 10));
        p.drawRect(QRectF(3, 7, 10, 2));
        break;
    case TDBNavigator::nbDelete:
        p.drawRect(QRectF(3, 7, 10, 2));
        break;
    case TDBNavigator::nbPost: {
        QPen pen(ink, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        QPainterPath path;
        path.moveTo(3, 8.5);
        path.lineTo(6.5, 12);
        path.lineTo(13, 4);
        p.drawPath(path);
        break;
    }
    case TDBNavigator::nbCancel: {
        QPen pen(ink, 2.2, Qt::SolidLine, Qt::RoundCap);
        p.setPen(pen);
        p.drawLine(QPointF(4, 4), QPointF(12, 12));
        p.drawLine(QPointF(12, 4), QPointF(4, 12));
        break;
    }
    }
    p.end();
    QIcon icon(pm);
    // A greyed copy for disabled buttons.
    QPixmap grey(s, s);
    grey.fill(Qt::transparent);
    QPainter g(&grey);
    g.setOpacity(0.35);
    g.drawPixmap(0, 0, pm);
    g.end();
    icon.addPixmap(grey, QIcon::Disabled);
    return icon;
}

} // namespace

QString TDBNavigator::HintOf(Button b)
{
    static const char *const hints[ButtonCount] = {"First record", "Prior record", "Next record",
                                                   "Last record",  "Insert record", "Delete record",
                                                   "Post edit",    "Cancel edit"};
    return QString::fromLatin1(hints[b]);
}

QString TDBNavigator::KeyOf(Button b)
{
    static const char *const keys[ButtonCount] = {"Ctrl+Home", "Up",          "Down",   "Ctrl+End",
                                                  "Insert",    "Ctrl+Delete", "Return", "Esc"};
    return QString::fromLatin1(keys[b]);
}

TDBNavigator::TDBNavigator(QWidget *parent) : QWidget(parent)
{
    setAccessibleName(QStringLiteral("Navigator"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    const QColor ink = palette().color(QPalette::ButtonText);
    for (int i = 0; i < ButtonCount; ++i) {
        const auto b = Button(i);
        auto *button = new QToolButton(this);
        button->setIcon(navigatorIcon(b, ink));
        button->setToolTip(QStringLiteral("%1 (%2)").arg(HintOf(b), KeyOf(b)));
        button->setAccessibleName(HintOf(b));
        button->setAccessibleDescription(TranslateQ("In the grid: %1").arg(KeyOf(b)));
        button->setFocusPolicy(Qt::TabFocus);
        button->setAutoRaise(false);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        connect(button, &QToolButton::clicked, this, [this, b] { BtnClick(b); });
        layout->addWidget(button);
        m_buttons[size_t(i)] = button;
    }
    // An open cell editor takes and gives back the focus: Post and Cancel follow.
    connect(qApp, &QApplication::focusChanged, this, [this] { updateButtons(); });
    updateButtons();
}

TDBNavigator::~TDBNavigator() = default;

TDBGrid *TDBNavigator::editingGrid() const
{
    TRecordTable *table = m_binding.DataSet();
    if (!table)
        return nullptr;
    for (QWidget *w = QApplication::focusWidget(); w; w = w->parentWidget())
        if (auto *grid = qobject_cast<TDBGrid *>(w))
            return grid->DataSet() == table && grid->EditorOpen() ? grid : nullptr;
    return nullptr;
}

QSize TDBNavigator::sizeHint() const
{
    return QSize(208, 25);
}

void TDBNavigator::updateButtons()
{
    TRecordTable *table = m_binding.DataSet();
    const bool active = table && table->Active();
    const TDataSetState state = active ? table->State() : TDataSetState::Inactive;
    const bool editing = state == TDataSetState::Edit || state == TDataSetState::Insert
                         || (active && editingGrid());
    const int count = active ? table->RecordCount() : 0;
    const int recNo = active ? table->RecNo() : 0;
    const bool canBack = active && (editing || recNo > 1);
    const bool canForward = active && (editing || (recNo >= 1 && recNo < count));
    m_buttons[nbFirst]->setEnabled(canBack);
    m_buttons[nbPrior]->setEnabled(canBack);
    m_buttons[nbNext]->setEnabled(canForward);
    m_buttons[nbLast]->setEnabled(canForward);
    m_buttons[nbInsert]->setEnabled(active);
    m_buttons[nbDelete]->setEnabled(active && (count > 0 || state == TDataSetState::Insert));
    m_buttons[nbPost]->setEnabled(editing);
    m_buttons[nbCancel]->setEnabled(editing);
}

void TDBNavigator::BtnClick(Button b)
{
    RunReportingErrors(this, [this, b] { run(b); });
    updateButtons();
}

void TDBNavigator::run(Button b)
{
    TRecordTable *table = m_binding.DataSet();
    if (!table || !table->Active())
        return;
    TRecordTable &t = *table;
    // A cell being edited: Cancel drops its text, everything else takes it in.
    if (TDBGrid *grid = editingGrid()) {
        if (b == nbCancel)
            grid->DiscardEditor();
        else if (!grid->CommitEditor())
            return; // refused; the grid has said why
    }
    const bool editing = t.Editing();
    switch (b) {
    case nbFirst: t.First(); break;
    case nbPrior: t.Prior(); break;
    case nbNext: t.Next(); break;
    case nbLast: t.Last(); break;
    case nbInsert: t.Insert(); break;
    case nbDelete:
        if (Dialogs().okCancel(TranslateQ("Delete record?"))) {
            if (t.State() == TDataSetState::Insert)
                t.Cancel();
            else
                t.Delete();
        }
        break;
    case nbPost:
        if (editing)
            t.Post();
        break;
    case nbCancel:
        if (editing)
            t.Cancel();
        break;
    }
}

} // namespace kf
