#include "app/FormAbout.h"

#include "common/Version.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

namespace kf {

TFmAbout::TFmAbout(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FmAbout"));
    setWindowTitle(QStringLiteral("About"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(501, 145);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(192, 220, 192));
    setPalette(pal);

    TitleLb = new QLabel(QStringLiteral("Tarvo Typing Tutor's Keyfolio"), this);
    TitleLb->setObjectName(QStringLiteral("TitleLb"));
    QFont titleFont = TitleLb->font();
    titleFont.setPointSize(14);
    titleFont.setBold(true);
    TitleLb->setFont(titleFont);
    QPalette navy = TitleLb->palette();
    navy.setColor(QPalette::WindowText, QColor(0, 0, 128));
    TitleLb->setPalette(navy);
    TitleLb->setAlignment(Qt::AlignCenter);
    TitleLb->adjustSize();
    const int titleLeft = (501 - TitleLb->width()) / 2;
    TitleLb->move(titleLeft, 16);

    VersionLb = new QLabel(QStringLiteral("V ") + QLatin1String(kVersion), this);
    VersionLb->setObjectName(QStringLiteral("VersionLb"));
    QFont versionFont = VersionLb->font();
    versionFont.setPointSize(12);
    VersionLb->setFont(versionFont);
    VersionLb->adjustSize();
    VersionLb->move(titleLeft, TitleLb->geometry().bottom() + 8);

    OKBn = new QPushButton(QStringLiteral("OK"), this);
    OKBn->setObjectName(QStringLiteral("OKBn"));
    OKBn->setGeometry((501 - 75) / 2, 145 - 25 - 14, 75, 25);
    OKBn->setDefault(true);
    connect(OKBn, &QPushButton::clicked, this, &QDialog::accept);

    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), screen->availableGeometry())
                 .topLeft());
}

} // namespace kf
