#include "dbctrls/DBImage.h"

#include "common/ErrorReport.h"
#include "model/GlyphCodec.h"
#include "table/RecordTable.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>

namespace kf {

namespace {

// What assistive technology sees of a picture box: an image, named by the
// box's accessible name, described by what it shows, with the shown
// picture's size.
class PictureBoxAccessible : public QAccessibleWidget, public QAccessibleImageInterface {
public:
    explicit PictureBoxAccessible(TDBImage *box) : QAccessibleWidget(box, QAccessible::Graphic) {}

    TDBImage *box() const { return static_cast<TDBImage *>(widget()); }

    QString text(QAccessible::Text t) const override
    {
        switch (t) {
        case QAccessible::Name: {
            const QString name = box()->accessibleName();
            return name.isEmpty() ? QStringLiteral("Picture") : name;
        }
        case QAccessible::Description:
            return box()->ShownDescription();
        default:
            return QAccessibleWidget::text(t);
        }
    }

    void *interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::ImageInterface)
            return static_cast<QAccessibleImageInterface *>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    // QAccessibleImageInterface
    QString imageDescription() const override { return box()->ShownDescription(); }
    QSize imageSize() const override { return box()->Picture().size(); }
    QPoint imagePosition() const override
    {
        // The picture is drawn centred in the box, on screen coordinates.
        const QRect inner = box()->contentsRect();
        const QSize size = box()->Picture().size();
        const QPoint at(inner.left() + (inner.width() - size.width()) / 2,
                        inner.top() + (inner.height() - size.height()) / 2);
        return box()->mapToGlobal(at);
    }
};

QAccessibleInterface *pictureBoxAccessibleFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("kf::TDBImage") && object && object->isWidgetType())
        return new PictureBoxAccessible(static_cast<TDBImage *>(object));
    return nullptr;
}

void installAccessibleFactoryOnce()
{
    static const bool installed = [] {
        QAccessible::installFactory(pictureBoxAccessibleFactory);
        return true;
    }();
    (void)installed;
}

} // namespace

TDBImage::TDBImage(QWidget *parent) : QFrame(parent)
{
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    setFocusPolicy(Qt::StrongFocus);
    installAccessibleFactoryOnce();
    m_background = palette().color(QPalette::Window);
    updateShownDescription();
}

TDBImage::~TDBImage() = default;

void TDBImage::SetDataField(const std::string &field)
{
    m_field = field;
    LoadPicture();
}

bool TDBImage::editing() const
{
    return table() && table()->Active()
           && table()->Editing();
}

bool TDBImage::canEdit() const
{
    return table() && table()->Active() && !m_field.empty() && table()->FindFieldIndex(m_field) >= 0;
}

void TDBImage::LoadPicture()
{
    QImage stored;
    if (table() && table()->Active() && !m_field.empty() && table()->FindFieldIndex(m_field) >= 0
        && (editing() || table()->RecNo() > 0)) {
        stored = m_stored.Picture(table()->FieldByName(m_field).AsBytes());
    }
    m_picture = stored;
    m_modified = false;
    updateShownDescription();
    update();
    emit PictureChanged();
}

void TDBImage::SetPicture(const QImage &picture)
{
    if (m_check && !picture.isNull())
        m_check(picture);
    m_picture = picture;
    m_modified = true;
    updateShownDescription();
    update();
    emit PictureChanged();
}

void TDBImage::writePicture()
{
    if (!m_modified || !editing() || !canEdit())
        return;
    m_writing = true;
    try {
        table()->FieldByName(m_field).SetAsBytes(ImageToGlyph(m_picture));
    } catch (...) {
        m_writing = false;
        throw;
    }
    m_writing = false;
    m_modified = false;
}

void TDBImage::SetBackgroundColor(const QColor &color)
{
    m_background = color;
    update();
}

void TDBImage::CopyToClipboard() const
{
    if (!m_picture.isNull())
        QApplication::clipboard()->setImage(m_picture);
}

void TDBImage::PasteFromClipboard()
{
    const QMimeData *mime = QApplication::clipboard()->mimeData();
    if (!mime || !mime->hasImage() || !canEdit())
        return;
    const QImage image = qvariant_cast<QImage>(mime->imageData());
    if (image.isNull())
        return;
    if (!editing())
        table()->Edit();
    SetPicture(image);
}

void TDBImage::CutToClipboard()
{
    if (!canEdit())
        return;
    CopyToClipboard();
    if (!editing())
        table()->Edit();
    SetPicture(QImage());
}

void TDBImage::paintEvent(QPaintEvent *event)
{
    {
        QPainter p(this);
        const QRect inner = contentsRect();
        p.fillRect(inner, m_background);
        if (!m_picture.isNull()) {
            p.setClipRect(inner);
            const QPoint at(inner.left() + (inner.width() - m_picture.width()) / 2,
                            inner.top() + (inner.height() - m_picture.height()) / 2);
            p.drawImage(at, m_picture);
        }
    }
    QFrame::paintEvent(event); // the border
}

void TDBImage::keyPressEvent(QKeyEvent *event)
{
    const Qt::KeyboardModifiers mods = event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    const int key = event->key();
    bool ours = true;
    RunReportingErrors(this, [&] {
        if ((mods == Qt::ControlModifier && key == Qt::Key_C) || (mods == Qt::ControlModifier && key == Qt::Key_Insert)) {
            CopyToClipboard();
        } else if ((mods == Qt::ControlModifier && key == Qt::Key_V) || (mods == Qt::ShiftModifier && key == Qt::Key_Insert)) {
            PasteFromClipboard();
        } else if ((mods == Qt::ControlModifier && key == Qt::Key_X) || (mods == Qt::ShiftModifier && key == Qt::Key_Delete)) {
            CutToClipboard();
        } else if (mods == Qt::NoModifier && key == Qt::Key_Escape) {
            LoadPicture();
        } else {
            ours = false;
        }
    });
    if (!ours) {
        QFrame::keyPressEvent(event);
        return;
    }
    event->accept();
}

void TDBImage::focusOutEvent(QFocusEvent *event)
{
    QFrame::focusOutEvent(event);
    RunReportingErrors(this, [this] { writePicture(); }); // the row stays in edit until it is posted
}

void TDBImage::mousePressEvent(QMouseEvent *event)
{
    setFocus(Qt::MouseFocusReason);
    QFrame::mousePressEvent(event);
}

void TDBImage::BindingChanged()
{
    LoadPicture();
}

void TDBImage::CurrentRowChanged(TRecordTable &)
{
    LoadPicture();
}

void TDBImage::DataSetReset(TRecordTable &)
{
    LoadPicture();
}

void TDBImage::CurrentValuesChanged(TRecordTable &, int fieldIndex)
{
    if (m_writing || !table())
        return;
    if (fieldIndex < 0 || fieldIndex == table()->FindFieldIndex(m_field))
        LoadPicture(); // the field was set directly
}

void TDBImage::StateChanged(TRecordTable &)
{
    // After a post or a cancel the box shows what the row holds.
    if (!editing())
        LoadPicture();
}

void TDBImage::RowChanged(TRecordTable &t, int viewIndex)
{
    if (!editing() && t.RecNo() == viewIndex + 1)
        LoadPicture(); // another cursor changed the stored picture
}

void TDBImage::UpdateData(TRecordTable &)
{
    writePicture();
}

void TDBImage::updateShownDescription()
{
    const QString shown = m_picture.isNull()
                              ? QStringLiteral("No picture")
                              : QStringLiteral("Picture %1 x %2").arg(m_picture.width()).arg(m_picture.height());
    if (m_shown != shown) {
        m_shown = shown;
        QAccessibleEvent ev(this, QAccessible::DescriptionChanged);
        QAccessible::updateAccessibility(&ev);
    }
}

} // namespace kf
