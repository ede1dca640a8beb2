#include "app/StartPage.h"

#include "common/ErrorReport.h"
#include "common/Translation.h"
#include "common/Version.h"

#include <QApplication>
#include <QCommandLinkButton>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QScrollArea>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

namespace kf {

namespace {

constexpr int kCardWidth = 860;

// Draws an entry as its file name and, below it in smaller grey letters, its
// folder (the item's text is the two lines).
class RecentEntryDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyleOptionViewItem panel = option;
        initStyleOption(&panel, index);
        const QStringList lines = index.data(Qt::DisplayRole).toString().split(QLatin1Char('\n'));
        panel.text.clear();
        const QWidget *view = option.widget;
        QStyle *style = view ? view->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &panel, painter, view);

        const QRect box = option.rect.adjusted(6, 3, -6, -3);
        const bool selected = option.state & QStyle::State_Selected;
        QColor nameColour = panel.palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
        if (const QVariant fg = index.data(Qt::ForegroundRole); fg.canConvert<QBrush>() && !selected)
            nameColour = fg.value<QBrush>().color();
        QColor folderColour = selected ? nameColour : panel.palette.color(QPalette::PlaceholderText);
        painter->save();
        const QFont nameFont = option.font;
        painter->setFont(nameFont);
        painter->setPen(nameColour);
        const QFontMetrics nameMetrics(nameFont, painter->device());
        painter->drawText(QPoint(box.left(), box.top() + nameMetrics.ascent()),
                          nameMetrics.elidedText(lines.value(0), Qt::ElideRight, box.width()));
        const QFont folderFont = folderFontOf(option.font);
        const QFontMetrics folderMetrics(folderFont, painter->device());
        painter->setFont(folderFont);
        painter->setPen(folderColour);
        painter->drawText(QPoint(box.left(), box.top() + nameMetrics.height() + folderMetrics.ascent()),
                          folderMetrics.elidedText(lines.value(1), Qt::ElideMiddle, box.width()));
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const QPaintDevice *device = option.widget;
        const int height = QFontMetrics(option.font, device).height()
                           + QFontMetrics(folderFontOf(option.font), device).height() + 6;
        return {QStyledItemDelegate::sizeHint(option, index).width(), height};
    }

private:
    static QFont folderFontOf(const QFont &font)
    {
        QFont f = font;
        if (font.pointSizeF() > 0)
            f.setPointSizeF(font.pointSizeF() * 0.9);
        else
            f.setPixelSize(qMax(1, font.pixelSize() * 9 / 10));
        return f;
    }
};

QLabel *heading(const QString &text, QWidget *parent, qreal scale = 1.15)
{
    auto *l = new QLabel(text, parent);
    QFont f = l->font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * scale);
    l->setFont(f);
    return l;
}

// A way to begin: a command link whose focus shows as a ring around it
// (the style draws none on a flat command link).
class StartButton : public QCommandLinkButton {
public:
    using QCommandLinkButton::QCommandLinkButton;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QCommandLinkButton::paintEvent(event);
        if (!hasFocus())
            return;
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(palette().color(QPalette::Highlight), 2));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 4, 4);
    }
};

QCommandLinkButton *action(const char *name, const QString &caption, const QString &line, QWidget *parent)
{
    auto *b = new StartButton(caption, line, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAccessibleName(caption);
    b->setAccessibleDescription(line);
    b->setAutoDefault(false);
    return b;
}

QString listName(RecentKind kind)
{
    switch (kind) {
    case RecentKind::Package:
        return TranslateQ("Recent keyboard packages");
    case RecentKind::Dictionary:
        return TranslateQ("Recent dictionaries");
    case RecentKind::Strings:
        return TranslateQ("Recent course strings files");
    }
    return QString();
}

} // namespace

TStartPage::TStartPage(TRecentFiles &recent, QWidget *parent) : QWidget(parent), m_recent(recent)
{
    setObjectName(QStringLiteral("StartPage"));
    setAccessibleName(TranslateQ("Start page"));

    // The page scrolls when the frame is smaller than the card; the card keeps
    // its width in the middle of a larger frame.
    auto *scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("StartScroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->viewport()->setAutoFillBackground(false);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(scroll);

    auto *canvas = new QWidget(scroll);
    scroll->setWidget(canvas);
    // The frame's own background shows around the card.
    canvas->setAutoFillBackground(false);
    auto *centre = new QGridLayout(canvas);
    centre->setContentsMargins(16, 16, 16, 16);

    auto *card = new QFrame(canvas);
    card->setObjectName(QStringLiteral("StartCard"));
    card->setFrameShape(QFrame::StyledPanel);
    card->setAutoFillBackground(true);
    QPalette pal = card->palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Base));
    card->setPalette(pal);
    card->setMaximumWidth(kCardWidth);
    // The card grows up to its width; what is left goes to both sides.
    centre->addWidget(card, 0, 1);
    centre->setColumnStretch(0, 1);
    centre->setColumnStretch(1, 100);
    centre->setColumnStretch(2, 1);
    centre->setRowStretch(1, 1);

    auto *body = new QVBoxLayout(card);
    body->setContentsMargins(28, 22, 28, 22);
    body->setSpacing(6);

    TitleLb = heading(ApplicationTitle(), card, 1.9);
    TitleLb->setObjectName(QStringLiteral("TitleLb"));
    QPalette navy = TitleLb->palette();
    navy.setColor(QPalette::WindowText, QColor(0, 0, 128));
    TitleLb->setPalette(navy);
    body->addWidget(TitleLb);

    VersionLb = new QLabel(TranslateQ("Version %1").arg(QLatin1String(kVersion)), card);
    VersionLb->setObjectName(QStringLiteral("VersionLb"));
    auto *about = new QLabel(TranslateQ("On-screen keyboards and word lists for the Tarvo typing tutor"), card);
    about->setObjectName(QStringLiteral("AboutLb"));
    for (QLabel *l : {VersionLb, about}) {
        QPalette muted = l->palette();
        muted.setColor(QPalette::WindowText, muted.color(QPalette::PlaceholderText));
        l->setPalette(muted);
    }
    auto *subtitle = new QHBoxLayout;
    subtitle->addWidget(VersionLb);
    subtitle->addSpacing(12);
    subtitle->addWidget(about, 1);
    body->addLayout(subtitle);

    auto *rule = new QFrame(card);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    body->addSpacing(8);
    body->addWidget(rule);
    body->addSpacing(4);

    body->addWidget(heading(TranslateQ("Start"), card));
    ImportLayoutBn = action("ImportLayoutBn", TranslateQ("Import a system keyboard layout..."),
                            TranslateQ("Start a keyboard definition from a layout of this system."), card);
    OpenPackageBn = action("OpenPackageBn", TranslateQ("Open a keyboard package..."),
                           TranslateQ("Load a .vkt package to edit its keys and characters."), card);
    DictionaryBn = action("DictionaryBn", TranslateQ("Make a dictionary from texts"),
                          TranslateQ("Count the words of text files into a dictionary."), card);
    CourseBn = action("CourseBn", TranslateQ("Make a typing course"),
                      TranslateQ("Pick dictionary words into typing lessons."), card);
    HelpBn = action("HelpBn", TranslateQ("Help"), TranslateQ("How each tool works, step by step."), card);
    auto *actions = new QGridLayout;
    actions->setHorizontalSpacing(12);
    actions->setVerticalSpacing(2);
    actions->addWidget(ImportLayoutBn, 0, 0);
    actions->addWidget(OpenPackageBn, 0, 1);
    actions->addWidget(DictionaryBn, 1, 0);
    actions->addWidget(CourseBn, 1, 1);
    actions->addWidget(HelpBn, 2, 0);
    actions->setColumnStretch(0, 1);
    actions->setColumnStretch(1, 1);
    body->addLayout(actions);

    body->addSpacing(10);
    body->addWidget(heading(TranslateQ("Recent files"), card));
    auto *columns = new QHBoxLayout;
    columns->setSpacing(16);
    for (RecentKind kind : TRecentFiles::Kinds)
        columns->addWidget(buildRecentColumn(kind), 1);
    body->addLayout(columns);
    body->addStretch(1);

    setTabOrder(ImportLayoutBn, OpenPackageBn);
    setTabOrder(OpenPackageBn, DictionaryBn);
    setTabOrder(DictionaryBn, CourseBn);
    setTabOrder(CourseBn, HelpBn);
    setTabOrder(HelpBn, RecentList(RecentKind::Package));
    setTabOrder(RecentList(RecentKind::Package), RecentList(RecentKind::Dictionary));
    setTabOrder(RecentList(RecentKind::Dictionary), RecentList(RecentKind::Strings));
    setFocusProxy(ImportLayoutBn);

    connect(&m_recent, &TRecentFiles::Changed, this, [this] { Refresh(); });
    Refresh();
}

QWidget *TStartPage::buildRecentColumn(RecentKind kind)
{
    auto *column = new QWidget;
    auto *layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);

    auto *caption = new QLabel(TRecentFiles::Caption(kind), column);
    QFont f = caption->font();
    f.setBold(true);
    caption->setFont(f);
    layout->addWidget(caption);

    auto *list = new QListWidget(column);
    list->setObjectName(QStringLiteral("RecentList%1").arg(int(kind)));
    list->setAccessibleName(listName(kind));
    list->setFrameShape(QFrame::NoFrame);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setItemDelegate(new RecentEntryDelegate(list));
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setCursor(Qt::PointingHandCursor);
    list->setMouseTracking(true);
    list->installEventFilter(this);
    caption->setBuddy(list);
    connect(list, &QListWidget::itemClicked, this, [this, kind](QListWidgetItem *item) { choose(kind, item); });
    layout->addWidget(list);

    auto *none = new QLabel(TranslateQ("None yet."), column);
    QPalette muted = none->palette();
    muted.setColor(QPalette::WindowText, muted.color(QPalette::PlaceholderText));
    none->setPalette(muted);
    layout->addWidget(none);
    layout->addStretch(1);

    m_lists[size_t(kind)] = list;
    m_none[size_t(kind)] = none;
    return column;
}

QString TStartPage::FileOf(const QListWidgetItem *item)
{
    return item ? item->data(Qt::UserRole).toString() : QString();
}

void TStartPage::Refresh()
{
    for (RecentKind kind : TRecentFiles::Kinds) {
        QListWidget *list = RecentList(kind);
        const QStringList files = m_recent.Files(kind);
        list->clear();
        for (const QString &file : files) {
            const QFileInfo info(file);
            const bool missing = !info.exists();
            const QString name = missing ? TranslateQ("%1 (missing)").arg(info.fileName()) : info.fileName();
            auto *item = new QListWidgetItem(name + QLatin1Char('\n') + info.absolutePath(), list);
            item->setData(Qt::UserRole, file);
            item->setToolTip(missing ? TranslateQ("%1 no longer exists: a click takes it off the list").arg(file)
                                     : file);
            // A screen reader reads the whole path.
            item->setData(Qt::AccessibleTextRole, missing ? TranslateQ("%1 (missing)").arg(file) : file);
            if (missing)
                item->setForeground(palette().color(QPalette::Disabled, QPalette::Text));
        }
        const bool empty = files.isEmpty();
        list->setVisible(!empty);
        NoneLabel(kind)->setVisible(empty);
        if (!empty) {
            list->setCurrentRow(0, QItemSelectionModel::NoUpdate);
            int height = 2 * list->frameWidth();
            for (int row = 0; row < list->count(); ++row)
                height += list->sizeHintForRow(row);
            list->setFixedHeight(height);
            // The whole list shows: none of it scrolled out of sight.
            list->scrollToTop();
        }
    }
}

void TStartPage::choose(RecentKind kind, const QListWidgetItem *item)
{
    const QString file = FileOf(item);
    if (!file.isEmpty())
        emit RecentChosen(kind, file);
}

void TStartPage::showEvent(QShowEvent *event)
{
    // A file may have gone (or come back) while the page was hidden.
    Refresh();
    QWidget::showEvent(event);
}

bool TStartPage::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
            for (RecentKind kind : TRecentFiles::Kinds)
                if (watched == RecentList(kind)) {
                    choose(kind, RecentList(kind)->currentItem());
                    return true;
                }
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace kf
