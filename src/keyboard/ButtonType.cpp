#include "keyboard/ButtonType.h"

#include "exchange/KeyboardChart.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <qdrawutil.h>

namespace kf {

namespace {

// What assistive technology sees of a key button: a push button named by the
// key, described by its hint, checked while down, pressed by its press action.
class KeyButtonAccessible : public QAccessibleWidget {
public:
    explicit KeyButtonAccessible(ButtonType *button)
        : QAccessibleWidget(button, QAccessible::Button)
    {
    }

    ButtonType *button() const { return static_cast<ButtonType *>(widget()); }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.focusable = button()->keyFocusable();
        s.focused = button()->hasKeyFocus();
        s.checkable = button()->group() != 0;
        s.checked = button()->down();
        s.pressed = button()->isDown();
        return s;
    }

    QString text(QAccessible::Text t) const override
    {
        switch (t) {
        case QAccessible::Name:
            return button()->spokenName();
        case QAccessible::Description: {
            const QString description = button()->accessibleDescription();
            return description.isEmpty() ? button()->toolTip() : description;
        }
        default:
            return QAccessibleWidget::text(t);
        }
    }

    QStringList actionNames() const override
    {
        QStringList names{pressAction()};
        if (button()->group() != 0)
            names << toggleAction();
        return names;
    }

    void doAction(const QString &actionName) override
    {
        if (!widget()->isEnabled())
            return;
        if (actionName == pressAction() || actionName == toggleAction())
            button()->click();
    }

    QStringList keyBindingsForAction(const QString &) const override { return {}; }
};

QAccessibleInterface *keyButtonAccessibleFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("kf::ButtonType") && object && object->isWidgetType())
        return new KeyButtonAccessible(static_cast<ButtonType *>(object));
    return nullptr;
}

void installAccessibleFactoryOnce()
{
    static const bool installed = [] {
        QAccessible::installFactory(keyButtonAccessibleFactory);
        return true;
    }();
    (void)installed;
}

// The picture as drawn: 32-bit with alpha, every pixel of the bottom-left
// pixel's colour made transparent.
QImage transparentCopy(const QImage &picture)
{
    if (picture.isNull())
        return QImage();
    QImage img = picture.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = img.pixel(0, img.height() - 1) & 0x00FFFFFFu;
    for (int y = 0; y < img.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x)
            if ((line[x] & 0x00FFFFFFu) == key)
                line[x] = 0;
    }
    return img;
}

// The mean colour of a picture's opaque pixels, its ink; invalid: none.
QColor inkOf(const QImage &picture)
{
    double r = 0, g = 0, b = 0;
    long n = 0;
    for (int y = 0; y < picture.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(picture.constScanLine(y));
        for (int x = 0; x < picture.width(); ++x)
            if (qAlpha(line[x]) == 255) {
                r += qRed(line[x]);
                g += qGreen(line[x]);
                b += qBlue(line[x]);
                ++n;
            }
    }
    if (n == 0)
        return QColor();
    return QColor(int(r / double(n) + 0.5), int(g / double(n) + 0.5), int(b / double(n) + 0.5));
}

} // namespace

ButtonType::ButtonType(QWidget *parent) : QAbstractButton(parent)
{
    installAccessibleFactoryOnce();
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    connect(this, &QAbstractButton::toggled, this, [this] {
        QAccessible::State changed;
        changed.checked = true;
        QAccessibleStateChangeEvent event(this, changed);
        QAccessible::updateAccessibility(&event);
    });
}

ButtonType::~ButtonType() = default;

void ButtonType::SetPressed(bool down)
{
    if (!KeepGlyph)
        setGlyph(down ? DownGlyph : UpGlyph);
    setDownState(down);
}

void ButtonType::setGlyph(const QImage &picture)
{
    m_glyph = picture;
    m_drawn = transparentCopy(picture);
    m_ink = inkOf(m_drawn);
    m_drawnNegative = QImage();
    update();
}

void ButtonType::setFaceColor(const QColor &color)
{
    m_faceColor = color;
    update();
}

void ButtonType::setGroup(int group)
{
    m_group = group;
    if (group == 0) {
        setChecked(false);
        setCheckable(false);
    } else {
        setCheckable(true);
    }
}

void ButtonType::setDownState(bool down)
{
    if (m_group == 0 || down == this->down())
        return;
    if (down) {
        setChecked(true);
        putPartnersUp();
    } else if (m_allowAllUp) {
        setChecked(false);
    }
}

void ButtonType::putPartnersUp()
{
    QWidget *owner = parentWidget();
    if (!owner)
        return;
    for (QObject *child : owner->children()) {
        auto *other = qobject_cast<ButtonType *>(child);
        if (other && other != this && other->m_group == m_group && other->down())
            other->setChecked(false);
    }
}

void ButtonType::nextCheckState()
{
    setDownState(!down());
}

void ButtonType::setTypedText(const QString &text)
{
    if (text == m_typedText)
        return;
    m_typedText = text;
    QAccessibleEvent event(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&event);
}

QString ButtonType::spokenName() const
{
    const QString name = accessibleName();
    if (m_typedText.isEmpty())
        return name;
    return name.isEmpty() ? m_typedText : name + QStringLiteral(": ") + m_typedText;
}

void ButtonType::setKeyFocus(bool focus)
{
    if (focus == m_keyFocus)
        return;
    m_keyFocus = focus;
    update();
    QAccessible::State changed;
    changed.focused = true;
    QAccessibleStateChangeEvent stateEvent(this, changed);
    QAccessible::updateAccessibility(&stateEvent);
}

QSize ButtonType::sizeHint() const
{
    return m_glyph.isNull() ? QSize(23, 22) : m_glyph.size() + QSize(4, 4);
}

void ButtonType::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QColor face = m_faceColor.isValid() ? m_faceColor : palette().color(QPalette::Button);
    p.fillRect(rect(), face);
    const bool sunken = down() || isDown();
    if (!m_drawn.isNull()) {
        QPoint at((width() - m_drawn.width()) / 2, (height() - m_drawn.height()) / 2);
        if (sunken)
            at += QPoint(1, 1);
        p.drawImage(at, drawnOn(face));
    }
    qDrawShadePanel(&p, rect(), QPalette(face), sunken, 1);
    if (m_keyFocus) {
        // Two rings, dark outside and light inside, show on any key colour.
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(Qt::black, 2));
        p.drawRect(QRectF(rect()).adjusted(2, 2, -2, -2));
        p.setPen(QPen(Qt::white, 1));
        p.drawRect(QRectF(rect()).adjusted(3.5, 3.5, -3.5, -3.5));
    }
}

const QImage &ButtonType::drawnOn(const QColor &face)
{
    // A picture drawn for its own face reads on it; on another (its key
    // coloured by use) dark letters may meet a dark face: then they are
    // drawn light, as their negative.
    if (!m_ink.isValid() || TKeyboardChart::Contrast(m_ink, face) >= 3)
        return m_drawn;
    const QColor negative(255 - m_ink.red(), 255 - m_ink.green(), 255 - m_ink.blue());
    if (TKeyboardChart::Contrast(negative, face) <= TKeyboardChart::Contrast(m_ink, face))
        return m_drawn;
    if (m_drawnNegative.isNull()) {
        m_drawnNegative = m_drawn;
        m_drawnNegative.invertPixels(QImage::InvertRgb);
    }
    return m_drawnNegative;
}

void ButtonType::mousePressEvent(QMouseEvent *event)
{
    QPointer<ButtonType> self(this);
    emit mouseDown(this, event->button(), event->modifiers(), event->buttons(),
                   event->position().toPoint());
    // The handler may have run a drag, rebuilt the keyboard or destroyed us.
    if (!self)
        return;
    QAbstractButton::mousePressEvent(event);
}

void ButtonType::mouseDoubleClickEvent(QMouseEvent *event)
{
    event->accept();
}

void InvertBitmap(QImage &bitmap)
{
    if (bitmap.isNull())
        return;
    if (bitmap.format() != QImage::Format_RGB32 && bitmap.format() != QImage::Format_ARGB32)
        bitmap.convertTo(bitmap.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    bitmap.invertPixels(QImage::InvertRgb);
    bitmap.setPixel(0, bitmap.height() - 1, qRgb(0x80, 0x80, 0x80));
}

} // namespace kf
