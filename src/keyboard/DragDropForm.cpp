#include "keyboard/DragDropForm.h"

#include "common/ErrorReport.h"
#include "table/RecordTable.h"

#include <QDrag>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QPainter>

#include <algorithm>

namespace kf {

const char *const TDragDropFm::kKeyMimeType = "application/x-keyfolio-key";

TDragDropFm::TDragDropFm(QWidget *parent) : QWidget(parent), KbDragFrame(new TKbDragFm(this))
{
    setObjectName(QStringLiteral("DragDropFrame"));
    KbDragFrame->move(0, 0);
    KbDragFrame->installEventFilter(this);
    RunDrag = [](QDrag *drag) { drag->exec(Qt::MoveAction, Qt::MoveAction); };
    sizeToContents();
}

TDragDropFm::~TDragDropFm()
{
    DetachDragDrop();
}

void TDragDropFm::AttachDragDrop()
{
    KbDragFrame->SetButtonMouseDown([this](ButtonType *sender, Qt::MouseButton button,
                                           Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons,
                                           QPoint pos) { KeyMouseDown(sender, button, modifiers, buttons, pos); });
    QWidget *area = KbDragFrame->KeyArea();
    area->setAcceptDrops(true);
    area->installEventFilter(this);
    m_attached = true;
}

void TDragDropFm::DetachDragDrop()
{
    if (!m_attached)
        return;
    m_attached = false;
    if (QWidget *area = KbDragFrame->KeyArea()) {
        area->setAcceptDrops(false);
        area->removeEventFilter(this);
    }
}

int TDragDropFm::Snap(int v, int grid)
{
    if (grid <= 1)
        return v;
    const int q = v / grid; // truncated toward zero
    const int r = v - q * grid;
    return double(r) / double(grid) >= 0.5 ? (q + 1) * grid : q * grid;
}

void TDragDropFm::KeyMouseDown(ButtonType *Sender, Qt::MouseButton, Qt::KeyboardModifiers Shift,
                               Qt::MouseButtons Buttons, QPoint Pos)
{
    m_dragButton = Sender;
    const Qt::KeyboardModifiers mods = Shift & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    if (Buttons == Qt::RightButton && mods == Qt::NoModifier) {
        const QSize size = Sender->size();
        QPixmap image(std::max(1, size.width()), std::max(1, size.height()));
        image.fill(Qt::white);
        {
            QPainter p(&image);
            QPen pen(QColor(0x00, 0x80, 0x00));
            pen.setWidth(3);
            pen.setJoinStyle(Qt::MiterJoin);
            p.setPen(pen);
            p.setBrush(Qt::white);
            p.drawRect(QRectF(1.5, 1.5, size.width() - 3.0, size.height() - 3.0));
        }
        m_dragImage = image;
        m_hotSpot = Pos;

        auto *mime = new QMimeData;
        mime->setData(QString::fromLatin1(kKeyMimeType),
                      QByteArray::number(quintptr(KbDragFrame)) + ' ' + QByteArray::number(Sender->tag()));
        mime->setImageData(image.toImage());
        QDrag *drag = new QDrag(Sender);
        drag->setMimeData(mime);
        drag->setPixmap(image);
        drag->setHotSpot(Pos);
        RunDrag(drag);
        drag->deleteLater();
        return;
    }
    if (Buttons == Qt::RightButton && mods == Qt::ControlModifier)
        KbDragFrame->GotoKeyRow(Sender); // nothing when the key's row is gone
}

void TDragDropFm::setStatus(int x, int y)
{
    m_statusText = QStringLiteral("%1, %2").arg(x).arg(y);
    if (QLabel *label = KbDragFrame->StatusLabel())
        label->setText(m_statusText);
}

void TDragDropFm::DropBMPTarget1DragOver(QPoint point)
{
    setStatus(point.x() - m_hotSpot.x(), point.y() - m_hotSpot.y());
}

void TDragDropFm::DropBMPTarget1Drop(QPoint point)
{
    ButtonType *button = m_dragButton;
    const auto &buttons = KbDragFrame->Buttons();
    if (!button || std::find(buttons.begin(), buttons.end(), button) == buttons.end())
        return;
    const int left = SnapX(point.x() - m_hotSpot.x());
    const int top = SnapY(point.y() - m_hotSpot.y());
    button->move(left, top);
    setStatus(left, top);
    // The position shown follows the key when it moves again (an undo).
    if (m_placedButton != button) {
        if (m_placedButton)
            m_placedButton->removeEventFilter(this);
        m_placedButton = button;
        button->installEventFilter(this);
    }
    // The key's own row takes the new place; a key whose row was deleted
    // since the build moves on screen only.
    if (KbDragFrame->GotoKeyRow(button)) {
        TRecordTable *keys = KbDragFrame->KeyTable();
        keys->Edit();
        keys->FieldByName("X").SetAsInteger(left);
        keys->FieldByName("Y").SetAsInteger(top);
        keys->Post();
    }
}

bool TDragDropFm::AcceptsDrop(const QMimeData *mime) const
{
    if (!mime || !mime->hasFormat(QString::fromLatin1(kKeyMimeType)))
        return false;
    const QByteArray payload = mime->data(QString::fromLatin1(kKeyMimeType));
    return payload.split(' ').value(0) == QByteArray::number(quintptr(KbDragFrame));
}

bool TDragDropFm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == KbDragFrame && (event->type() == QEvent::Resize || event->type() == QEvent::Move)) {
        sizeToContents();
        return false;
    }
    if (watched == m_placedButton && event->type() == QEvent::Move) {
        // The label still shows where the key was dropped: it shows where
        // the key is now.
        QLabel *label = KbDragFrame->StatusLabel();
        if (label && label->text() == m_statusText) {
            const QPoint at = m_placedButton->pos();
            setStatus(at.x(), at.y());
        }
        return false;
    }
    if (!m_attached || watched != KbDragFrame->KeyArea())
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto *e = static_cast<QDragMoveEvent *>(event);
        if (!AcceptsDrop(e->mimeData())) {
            e->ignore();
            return true;
        }
        e->setDropAction(Qt::MoveAction);
        e->accept();
        DropBMPTarget1DragOver(e->position().toPoint());
        return true;
    }
    case QEvent::Drop: {
        auto *e = static_cast<QDropEvent *>(event);
        if (!AcceptsDrop(e->mimeData())) {
            e->ignore();
            return true;
        }
        e->setDropAction(Qt::MoveAction);
        e->accept();
        // The drop lands on the keyboard frame's key area: reported in its name.
        const QPoint at = e->position().toPoint();
        RunReportingErrors(KbDragFrame, [this, at] { DropBMPTarget1Drop(at); });
        return true;
    }
    default:
        return QWidget::eventFilter(watched, event);
    }
}

void TDragDropFm::sizeToContents()
{
    const QRect r = KbDragFrame->geometry();
    setFixedSize(std::max(1, r.right() + 1), std::max(1, r.bottom() + 1));
}

} // namespace kf
