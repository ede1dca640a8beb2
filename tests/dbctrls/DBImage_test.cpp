// The picture box bound to a picture field: what it shows, when a changed
// picture reaches the row, Esc, and the clipboard keys.

#include "common/ScriptedDialogs.h"
#include "dbctrls/DBGrid.h"
#include "dbctrls/DBImage.h"
#include "dbctrls/DBNavigator.h"
#include "model/GlyphCodec.h"
#include "table/DataSource.h"
#include "table/RecordTable.h"

#include <QAccessible>
#include <QClipboard>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMimeData>
#include <QToolButton>
#include <QtTest>

#include <memory>

using namespace kf;

namespace {

QImage filled(int w, int h, QColor c)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(c);
    return img;
}

} // namespace

class DBImageTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void showsTheCurrentRowsPictureCentredUnscaled();
    void changedPictureReachesTheRow_data();
    void changedPictureReachesTheRow();
    void escapeDropsWhatIsNotWritten();
    void fieldSetDirectlyIsFollowed();
    void pictureIsDecodedOncePerChange();
    void clipboardKeys();
    void seenAsAnImage_data();
    void seenAsAnImage();

private:
    // What assistive technology hears the box show.
    QString described() const
    {
        return QAccessible::queryAccessibleInterface(m_image)->text(QAccessible::Description);
    }
    QImage storedPicture(int recNo)
    {
        return GlyphToImageOrNull(m_table->FieldValueAt(recNo - 1, 1).bytes());
    }

    std::unique_ptr<TRecordTable> m_table;
    std::unique_ptr<TDataSource> m_source;
    std::unique_ptr<QWidget> m_window;
    TDBImage *m_image = nullptr;
    TDBNavigator *m_nav = nullptr;
    TDBGrid *m_grid = nullptr;
    QLineEdit *m_elsewhere = nullptr;
};

void DBImageTest::init()
{
    SetDialogs(std::make_unique<ScriptedDialogs>());
    m_table = std::make_unique<TRecordTable>(
        std::vector<TFieldDef>{{"Name", TFieldType::String, 20, true}, {"Glyph", TFieldType::Graphic}});
    m_table->SetIndexFieldNames("Name");
    m_table->AppendRecord({"a", ImageToGlyph(filled(10, 6, Qt::red))});
    m_table->AppendRecord({"b", ImageToGlyph(filled(4, 4, Qt::blue))});
    m_table->First();
    m_source = std::make_unique<TDataSource>(m_table.get());

    m_window = std::make_unique<QWidget>();
    auto *layout = new QHBoxLayout(m_window.get());
    m_image = new TDBImage(m_window.get());
    m_image->setFixedSize(40, 30);
    m_nav = new TDBNavigator(m_window.get());
    m_grid = new TDBGrid(m_window.get());
    m_elsewhere = new QLineEdit(m_window.get());
    for (QWidget *w : {static_cast<QWidget *>(m_image), static_cast<QWidget *>(m_nav),
                       static_cast<QWidget *>(m_grid), static_cast<QWidget *>(m_elsewhere)})
        layout->addWidget(w);
    m_image->SetDataField("Glyph");
    m_image->SetDataSource(m_source.get());
    m_nav->SetDataSource(m_source.get());
    m_grid->SetDataSource(m_source.get());
    m_window->show();
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
}

void DBImageTest::cleanup()
{
    m_window.reset();
    m_source.reset();
    m_table.reset();
    SetDialogs(nullptr);
}

void DBImageTest::showsTheCurrentRowsPictureCentredUnscaled()
{
    m_image->SetBackgroundColor(Qt::green);
    QCOMPARE(m_image->Picture().size(), QSize(10, 6));
    QImage shot = m_image->grab().toImage();
    const QPoint c(20, 15);
    QCOMPARE(QColor(shot.pixel(c)), QColor(Qt::red));
    QCOMPARE(QColor(shot.pixel(c + QPoint(4, 0))), QColor(Qt::red));    // 10 wide, centred
    QCOMPARE(QColor(shot.pixel(c + QPoint(6, 0))), QColor(Qt::green));  // not stretched
    QCOMPARE(QColor(shot.pixel(3, 3)), QColor(Qt::green));

    m_table->Next();
    QCOMPARE(m_image->Picture().size(), QSize(4, 4));
    QVERIFY(!m_image->Modified());
    QCOMPARE(described(), QStringLiteral("Picture 4 x 4"));
}

void DBImageTest::changedPictureReachesTheRow_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("staysInEdit");
    QTest::newRow("navigator Post") << "post" << false;
    QTest::newRow("moving to another row in the grid") << "move" << false;
    QTest::newRow("focus leaves the box") << "focus" << true;
    // Whoever posts the row: the cursor gathers the box's change first.
    QTest::newRow("a post by code") << "code post" << false;
    QTest::newRow("a locate that moves the cursor") << "locate" << false;
    QTest::newRow("a move while controls are disabled") << "bulk" << false;
}

void DBImageTest::changedPictureReachesTheRow()
{
    QFETCH(QString, how);
    QFETCH(bool, staysInEdit);
    m_table->Edit();
    m_image->setFocus();
    m_image->SetPicture(filled(7, 5, Qt::yellow));
    QVERIFY(m_image->Modified());
    QCOMPARE(storedPicture(1).size(), QSize(10, 6)); // not in the row yet

    if (how == QLatin1String("post")) {
        QTest::mouseClick(m_nav->ButtonOf(TDBNavigator::nbPost), Qt::LeftButton);
    } else if (how == QLatin1String("move")) {
        QTest::mouseClick(m_grid->viewport(), Qt::LeftButton, {},
                          m_grid->visualRect(m_grid->model()->index(1, 0)).center());
        QCOMPARE(m_table->RecNo(), 2);
    } else if (how == QLatin1String("code post")) {
        m_table->Post();
    } else if (how == QLatin1String("locate")) {
        QVERIFY(m_table->Locate("Name", {TValue(std::string("b"))}));
    } else if (how == QLatin1String("bulk")) {
        m_table->DisableControls();
        m_table->Last();
        m_table->EnableControls();
    } else {
        m_elsewhere->setFocus();
        QVERIFY(!m_image->Modified());
        QCOMPARE(m_table->FieldByName("Glyph").AsBytes(), ImageToGlyph(filled(7, 5, Qt::yellow)));
    }
    QCOMPARE(m_table->State() == TDataSetState::Edit, staysInEdit);
    if (staysInEdit)
        m_table->Post();
    QCOMPARE(storedPicture(1).size(), QSize(7, 5));
    QCOMPARE(QColor(storedPicture(1).pixel(0, 4)), QColor(Qt::yellow));
}

void DBImageTest::escapeDropsWhatIsNotWritten()
{
    m_table->Edit();
    m_image->setFocus();
    m_image->SetPicture(filled(3, 3, Qt::black));
    QTest::keyClick(m_image, Qt::Key_Escape);
    QVERIFY(!m_image->Modified());
    QCOMPARE(m_image->Picture().size(), QSize(10, 6));
    m_table->Post();
    QCOMPARE(storedPicture(1).size(), QSize(10, 6));

    // Navigator Cancel drops it as well.
    m_table->Edit();
    m_image->SetPicture(filled(3, 3, Qt::black));
    QTest::mouseClick(m_nav->ButtonOf(TDBNavigator::nbCancel), Qt::LeftButton);
    QCOMPARE(m_image->Picture().size(), QSize(10, 6));
    QCOMPARE(storedPicture(1).size(), QSize(10, 6));
}

void DBImageTest::fieldSetDirectlyIsFollowed()
{
    m_table->Edit();
    m_table->FieldByName("Glyph").Clear(); // as "Clear image" does
    QVERIFY(m_image->Picture().isNull());
    QCOMPARE(described(), QStringLiteral("No picture"));
    m_table->Post();
    QVERIFY(storedPicture(1).isNull());
}

// The row's picture is decoded when the row or its picture changes, not again
// for each call that leaves it as it is: the image shown stays the same one.
void DBImageTest::pictureIsDecodedOncePerChange()
{
    const qint64 shown = m_image->Picture().cacheKey();
    QVERIFY(!m_image->Picture().isNull());
    m_image->repaint();
    m_table->Edit();
    m_table->Cancel(); // shows the row's picture again: the one decoded before
    QCOMPARE(m_image->Picture().cacheKey(), shown);
    m_table->Edit();
    m_table->FieldByName("Name").SetAsString("aa"); // another field of the row
    m_table->Post();
    QCOMPARE(m_image->Picture().cacheKey(), shown);
    QCOMPARE(m_image->Picture().size(), QSize(10, 6));

    // A new picture in the field is decoded.
    m_table->Edit();
    m_table->FieldByName("Glyph").SetAsBytes(ImageToGlyph(filled(5, 5, Qt::yellow)));
    QVERIFY(m_image->Picture().cacheKey() != shown);
    QCOMPARE(m_image->Picture().size(), QSize(5, 5));
    const qint64 yellow = m_image->Picture().cacheKey();
    m_table->Post();
    QCOMPARE(m_image->Picture().cacheKey(), yellow);

    // Another row shows its own picture.
    m_table->Next();
    QCOMPARE(m_image->Picture().size(), QSize(4, 4));
    QCOMPARE(QColor(m_image->Picture().pixel(0, 0)), QColor(Qt::blue));
}

void DBImageTest::clipboardKeys()
{
    QClipboard *clip = QApplication::clipboard();
    m_image->setFocus();

    QTest::keyClick(m_image, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(clip->image().size(), QSize(10, 6));
    QCOMPARE(m_table->State(), TDataSetState::Browse); // copying does not edit

    clip->setText(QStringLiteral("no picture"));
    QTest::keyClick(m_image, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(m_table->State(), TDataSetState::Browse); // nothing to paste
    QCOMPARE(m_image->Picture().size(), QSize(10, 6));

    clip->setImage(filled(6, 2, Qt::cyan));
    QTest::keyClick(m_image, Qt::Key_Insert, Qt::ShiftModifier);
    QCOMPARE(m_table->State(), TDataSetState::Edit);
    QVERIFY(m_image->Modified());
    QCOMPARE(m_image->Picture().size(), QSize(6, 2));

    QTest::keyClick(m_image, Qt::Key_X, Qt::ControlModifier);
    QVERIFY(m_image->Picture().isNull());
    QCOMPARE(clip->image().size(), QSize(6, 2));
    QTest::mouseClick(m_nav->ButtonOf(TDBNavigator::nbPost), Qt::LeftButton);
    QVERIFY(storedPicture(1).isNull());
}

// Assistive technology meets an image, named by its window (or "Picture"),
// described by what it shows, with the picture's size.
void DBImageTest::seenAsAnImage_data()
{
    QTest::addColumn<QString>("givenName");
    QTest::addColumn<int>("row"); // 1, 2; 0: the row's picture cleared
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QSize>("size");
    QTest::newRow("unnamed, first row") << QString() << 1 << "Picture" << "Picture 10 x 6" << QSize(10, 6);
    QTest::newRow("unnamed, second row") << QString() << 2 << "Picture" << "Picture 4 x 4" << QSize(4, 4);
    QTest::newRow("named, first row") << "Key picture" << 1 << "Key picture" << "Picture 10 x 6" << QSize(10, 6);
    QTest::newRow("named, no picture") << "Key picture" << 0 << "Key picture" << "No picture" << QSize(0, 0);
}

void DBImageTest::seenAsAnImage()
{
    QFETCH(QString, givenName);
    QFETCH(int, row);
    QFETCH(QString, name);
    QFETCH(QString, description);
    QFETCH(QSize, size);
    if (!givenName.isEmpty())
        m_image->setAccessibleName(givenName);
    if (row == 2)
        m_table->Next();
    if (row == 0) {
        m_table->Edit();
        m_table->FieldByName("Glyph").Clear();
    }
    QAccessibleInterface *a = QAccessible::queryAccessibleInterface(m_image);
    QVERIFY(a);
    QCOMPARE(a->role(), QAccessible::Graphic);
    QCOMPARE(a->text(QAccessible::Name), name);
    QCOMPARE(a->text(QAccessible::Description), description);
    QVERIFY(a->state().focusable); // it takes the clipboard keys
    QAccessibleImageInterface *image = a->imageInterface();
    QVERIFY(image);
    QCOMPARE(image->imageDescription(), description);
    QCOMPARE(image->imageSize(), size);
    if (!size.isEmpty()) // drawn centred
        QCOMPARE(image->imagePosition(),
                 m_image->mapToGlobal(QPoint((40 - size.width()) / 2, (30 - size.height()) / 2)));
}

QTEST_MAIN(DBImageTest)
#include "DBImage_test.moc"
