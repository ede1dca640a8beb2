#include "app/QtDialogs.h"

#include "common/ErrorReport.h"

#include <QApplication>
#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QImageReader>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QRegularExpression>

namespace kf {

namespace {

QWidget *dialogParent()
{
    return QApplication::activeWindow();
}

// Scales a picture down to the preview box, never up.
void showPreview(QLabel *preview, const QString &path)
{
    QImageReader reader(path);
    const QImage image = reader.canRead() ? reader.read() : QImage();
    if (image.isNull()) {
        preview->setPixmap(QPixmap());
        preview->setText(QStringLiteral("(no picture)"));
        return;
    }
    QPixmap pm = QPixmap::fromImage(image);
    if (pm.width() > preview->width() || pm.height() > preview->height())
        pm = pm.scaled(preview->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
    preview->setPixmap(pm);
    preview->setToolTip(QStringLiteral("%1 x %2").arg(image.width()).arg(image.height()));
}

void prepare(QFileDialog &dialog, const FileRequest &request)
{
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    if (!request.title.isEmpty())
        dialog.setWindowTitle(request.title);
    dialog.setDirectory(request.initialDir.isEmpty() ? QDir::currentPath() : request.initialDir);
    const QString filter = QtFileFilter(request.filter);
    if (!filter.isEmpty())
        dialog.setNameFilter(filter);
    if (!request.defaultExt.isEmpty())
        dialog.setDefaultSuffix(request.defaultExt);
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
}

} // namespace

QString QtFileFilter(const QString &filter)
{
    if (filter.isEmpty())
        return QString();
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i < parts.size(); i += 2) {
        QString text = parts[i].trimmed();
        const QString patterns = i + 1 < parts.size() ? parts[i + 1].trimmed() : QString();
        if (patterns.isEmpty()) {
            out << text;
            continue;
        }
        QString qtPatterns = patterns;
        qtPatterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        qtPatterns = qtPatterns.simplified();
        // "Bitmaps (*.bmp)": the text already names its patterns.
        static const QRegularExpression trailing(QStringLiteral("\\s*\\(([^()]*)\\)\\s*$"));
        const QRegularExpressionMatch m = trailing.match(text);
        if (m.hasMatch())
            text.truncate(m.capturedStart());
        if (text.isEmpty())
            text = qtPatterns;
        out << text + QStringLiteral(" (") + qtPatterns + QLatin1Char(')');
    }
    return out.join(QStringLiteral(";;"));
}

QStringList QtDialogs::openFiles(const FileRequest &request)
{
    QFileDialog dialog(dialogParent());
    prepare(dialog, request);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(request.multiple ? QFileDialog::ExistingFiles : QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::ReadOnly, false);
    if (request.picturePreview) {
        if (auto *grid = qobject_cast<QGridLayout *>(dialog.layout())) {
            auto *preview = new QLabel(&dialog);
            preview->setObjectName(QStringLiteral("PicturePreview"));
            preview->setAccessibleName(QStringLiteral("Picture preview"));
            preview->setFixedSize(160, 160);
            preview->setAlignment(Qt::AlignCenter);
            preview->setFrameShape(QFrame::StyledPanel);
            grid->addWidget(preview, 0, grid->columnCount(), grid->rowCount(), 1);
            QObject::connect(&dialog, &QFileDialog::currentChanged, preview,
                             [preview](const QString &path) { showPreview(preview, path); });
        }
    }
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
}

QString QtDialogs::saveFile(const FileRequest &request)
{
    QFileDialog dialog(dialogParent());
    prepare(dialog, request);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.overwritePrompt);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? QString() : files.first();
}

std::optional<uint32_t> QtDialogs::chooseColor(uint32_t initial)
{
    const QColor start(int(initial & 0xFF), int((initial >> 8) & 0xFF), int((initial >> 16) & 0xFF));
    const QColor c = QColorDialog::getColor(start, dialogParent());
    if (!c.isValid())
        return std::nullopt;
    return uint32_t(c.red()) | (uint32_t(c.green()) << 8) | (uint32_t(c.blue()) << 16);
}

void QtDialogs::information(const QString &text)
{
    QMessageBox::information(dialogParent(), ApplicationTitle(), text, QMessageBox::Ok);
}

bool QtDialogs::confirm(const QString &text)
{
    return QMessageBox::question(dialogParent(), QStringLiteral("Confirm"), text,
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes)
           == QMessageBox::Yes;
}

bool QtDialogs::okCancel(const QString &text)
{
    return QMessageBox::question(dialogParent(), QStringLiteral("Confirm"), text,
                                 QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok)
           == QMessageBox::Ok;
}

SaveAnswer QtDialogs::saveDiscardCancel(const QString &text)
{
    switch (QMessageBox::question(dialogParent(), ApplicationTitle(), text,
                                  QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel,
                                  QMessageBox::Save)) {
    case QMessageBox::Save:
        return SaveAnswer::Save;
    case QMessageBox::Discard:
        return SaveAnswer::Discard;
    default:
        return SaveAnswer::Cancel;
    }
}

std::optional<QString> QtDialogs::inputBox(const QString &caption, const QString &prompt,
                                           const QString &defaultValue)
{
    bool ok = false;
    const QString text = QInputDialog::getText(dialogParent(), caption, prompt, QLineEdit::Normal,
                                               defaultValue, &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

void QtDialogs::warning(const QString &caption, const QString &text)
{
    QMessageBox::warning(dialogParent(), caption.isEmpty() ? ApplicationTitle() : caption, text,
                         QMessageBox::Ok);
}

void QtDialogs::error(const QString &caption, const QString &text)
{
    QMessageBox::critical(dialogParent(), caption.isEmpty() ? ApplicationTitle() : caption, text,
                          QMessageBox::Ok);
}

void QtDialogs::message(const QString &caption, const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, caption.isEmpty() ? ApplicationTitle() : caption, text,
                    QMessageBox::Ok, dialogParent());
    box.exec();
}

} // namespace kf
