#include "ui/Anchors.h"

#include <QEvent>

#include <algorithm>

namespace kf {

TAnchors::TAnchors(QWidget *container, QSize designSize)
    : QObject(container), m_container(container), m_designSize(designSize)
{
    container->installEventFilter(this);
}

void TAnchors::Add(QWidget *control, int edges)
{
    m_items.push_back({control, control->geometry(), edges});
    Apply();
}

void TAnchors::Apply()
{
    // A container smaller than the design keeps the designed places.
    const int dx = std::max(0, m_container->width() - m_designSize.width());
    const int dy = std::max(0, m_container->height() - m_designSize.height());
    for (const Item &item : m_items) {
        if (!item.control)
            continue;
        QRect r = item.designRect;
        if (item.edges & Right) {
            if (item.edges & Left)
                r.setWidth(r.width() + dx);
            else
                r.translate(dx, 0);
        }
        if (item.edges & Bottom) {
            if (item.edges & Top)
                r.setHeight(r.height() + dy);
            else
                r.translate(0, dy);
        }
        if (item.control->geometry() != r)
            item.control->setGeometry(r);
    }
}

bool TAnchors::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_container && event->type() == QEvent::Resize)
        Apply();
    return QObject::eventFilter(watched, event);
}

} // namespace kf
