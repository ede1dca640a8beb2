// The import dialog: the list of layouts and its filter, the key block and
// code page choices, what OK asks for, and that every control can be reached
// and named by assistive technology.

#include "common/CodePage.h"
#include "define/ImportLayoutDialog.h"
#include "exchange/XkbLayouts.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>

#include <memory>

using namespace kf;

namespace {

std::vector<XkbLayout> smallList()
{
    return {
        {"us", "", "English (US)"},
        {"us", "intl", "English (US, intl., with dead keys)"},
        {"de", "", "German"},
        {"de", "nodeadkeys", "German (no dead keys)"},
        {"ru", "", "Russian"},
        {"lt", "", "Lithuanian"},
    };
}

QString accessibleName(QWidget *w)
{
    QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w);
    return a ? a->text(QAccessible::Name) : QString();
}

} // namespace

class ImportLayoutDialogTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void listsEveryLayoutWithItsDescription();
    void listsTheSystemsLayouts();
    void filterNarrows_data();
    void filterNarrows();
    void upAndDownInFilterMoveThroughList();
    void currentLayoutStaysInSight_data();
    void currentLayoutStaysInSight();
    void exactIdComesFirstAndIsCurrent_data();
    void exactIdComesFirstAndIsCurrent();
    void codePageProposedForTheLayout_data();
    void codePageProposedForTheLayout();
    void choiceMadeForALayoutStays();
    void optionsFollowTheControls_data();
    void optionsFollowTheControls();
    void codePageInForceIsOfferedAndChosen_data();
    void codePageInForceIsOfferedAndChosen();
    void okAsksForImportAndStaysOpen_data();
    void okAsksForImportAndStaysOpen();
    void everyControlNamedAndReachedByTab();
    void onlyTheControlWithTheFocusReportsIt_data();
    void onlyTheControlWithTheFocusReportsIt();

private:
    std::unique_ptr<TImportLayoutDlg> m_dlg;
};

void ImportLayoutDialogTest::init()
{
    qputenv("KEYFOLIO_CODEPAGE", "CP1252");
    CodePage::reload();
    m_dlg = std::make_unique<TImportLayoutDlg>(smallList());
    m_dlg->show();
    m_dlg->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_dlg.get()));
}

void ImportLayoutDialogTest::cleanup()
{
    m_dlg.reset();
    qunsetenv("KEYFOLIO_CODEPAGE");
    CodePage::reload();
}

void ImportLayoutDialogTest::listsEveryLayoutWithItsDescription()
{
    const QStringList ids{"us", "us(intl)", "de", "de(nodeadkeys)", "ru", "lt"};
    QCOMPARE(m_dlg->ShownLayouts(), ids);
    QAbstractItemModel *m = m_dlg->LayoutList->model();
    QCOMPARE(m->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Layout"));
    QCOMPARE(m->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Description"));
    QCOMPARE(m->index(3, 1).data().toString(), QStringLiteral("German (no dead keys)"));
    QCOMPARE(m_dlg->CountLb->text(), QStringLiteral("6 of 6 layouts"));
    // The first layout is current from the start, so Enter imports at once.
    QVERIFY(m_dlg->CurrentLayout());
    QCOMPARE(m_dlg->CurrentLayout()->Id(), std::string("us"));
    QVERIFY(m_dlg->OkBn->isEnabled());
    QVERIFY(m_dlg->FilterEd->hasFocus());
}

void ImportLayoutDialogTest::listsTheSystemsLayouts()
{
    const std::vector<XkbLayout> system = ListXkbLayouts();
    TImportLayoutDlg dlg(system);
    QCOMPARE(dlg.ShownLayouts().size(), qsizetype(system.size()));
    QVERIFY(dlg.SelectLayout(QStringLiteral("de(nodeadkeys)")));
    QCOMPARE(dlg.CurrentLayout()->description, FindXkbLayout(system, "de", "nodeadkeys")->description);
    QVERIFY(dlg.SelectLayout(QStringLiteral("fr")));
    QVERIFY(dlg.SelectLayout(QStringLiteral("ru")));
}

void ImportLayoutDialogTest::filterNarrows_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("shown");
    // The layout whose id was typed comes first.
    QTest::newRow("by id and description") << "de" << QStringList{"de", "us(intl)", "de(nodeadkeys)"};
    QTest::newRow("by variant") << "intl" << QStringList{"us(intl)"};
    QTest::newRow("by description, any case") << "gERMAN" << QStringList{"de", "de(nodeadkeys)"};
    QTest::newRow("across both columns") << "dead" << QStringList{"us(intl)", "de(nodeadkeys)"};
    QTest::newRow("spaces around") << "  russian " << QStringList{"ru"};
    QTest::newRow("nothing matches") << "klingon" << QStringList{};
}

void ImportLayoutDialogTest::filterNarrows()
{
    QFETCH(QString, typed);
    QFETCH(QStringList, shown);
    QTest::keyClicks(m_dlg->FilterEd, typed);
    QCOMPARE(m_dlg->ShownLayouts(), shown);
    QCOMPARE(m_dlg->CountLb->text(), QStringLiteral("%1 of 6 layouts").arg(shown.size()));
    // A shown layout is current; with none shown there is nothing to import.
    QCOMPARE(m_dlg->OkBn->isEnabled(), !shown.isEmpty());
    if (shown.isEmpty()) {
        QVERIFY(!m_dlg->CurrentLayout());
        QSignalSpy spy(m_dlg.get(), &TImportLayoutDlg::ImportRequested);
        QTest::keyClick(m_dlg->FilterEd, Qt::Key_Return);
        QCOMPARE(spy.count(), 0);
    } else {
        QVERIFY(shown.contains(QString::fromStdString(m_dlg->CurrentLayout()->Id())));
    }
    // Clearing the filter shows every layout again.
    m_dlg->FilterEd->clear();
    QCOMPARE(m_dlg->ShownLayouts().size(), 6);
    QVERIFY(m_dlg->OkBn->isEnabled());
}

void ImportLayoutDialogTest::upAndDownInFilterMoveThroughList()
{
    QTest::keyClicks(m_dlg->FilterEd, QStringLiteral("e"));
    const QStringList shown = m_dlg->ShownLayouts();
    QVERIFY(shown.size() >= 3);
    QCOMPARE(QString::fromStdString(m_dlg->CurrentLayout()->Id()), shown[0]);
    QTest::keyClick(m_dlg->FilterEd, Qt::Key_Down);
    QTest::keyClick(m_dlg->FilterEd, Qt::Key_Down);
    QCOMPARE(QString::fromStdString(m_dlg->CurrentLayout()->Id()), shown[2]);
    QTest::keyClick(m_dlg->FilterEd, Qt::Key_Up);
    QCOMPARE(QString::fromStdString(m_dlg->CurrentLayout()->Id()), shown[1]);
    QVERIFY(m_dlg->FilterEd->hasFocus());
    QCOMPARE(m_dlg->FilterEd->text(), QStringLiteral("e"));
}

void ImportLayoutDialogTest::currentLayoutStaysInSight_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("german") << "german";
    QTest::newRow("english") << "english";
    QTest::newRow("dead") << "dead";
}

void ImportLayoutDialogTest::currentLayoutStaysInSight()
{
    QFETCH(QString, typed);
    TImportLayoutDlg dlg(ListXkbLayouts());
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QTest::keyClicks(dlg.FilterEd, typed);
    QVERIFY(dlg.CurrentLayout());
    QTreeView *list = dlg.LayoutList;
    const QRect row = list->visualRect(list->currentIndex());
    QVERIFY2(list->viewport()->rect().contains(row),
             qPrintable(QStringLiteral("%1 at y %2").arg(QString::fromStdString(dlg.CurrentLayout()->Id())).arg(row.y())));
}

void ImportLayoutDialogTest::exactIdComesFirstAndIsCurrent_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("current");
    QTest::newRow("lt, not a layout whose description holds it") << "lt" << "lt";
    QTest::newRow("any case") << "LT" << "lt";
    QTest::newRow("de") << "de" << "de";
    QTest::newRow("a variant") << "us(intl)" << "us(intl)";
    QTest::newRow("us") << "us" << "us";
    QTest::newRow("ru") << "ru" << "ru";
}

void ImportLayoutDialogTest::exactIdComesFirstAndIsCurrent()
{
    QFETCH(QString, typed);
    QFETCH(QString, current);
    TImportLayoutDlg dlg(ListXkbLayouts());
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    dlg.FilterEd->setFocus();
    QTest::keyClicks(dlg.FilterEd, typed);
    QVERIFY(!dlg.ShownLayouts().isEmpty());
    QCOMPARE(dlg.ShownLayouts().first(), current);
    QVERIFY(dlg.CurrentLayout());
    QCOMPARE(QString::fromStdString(dlg.CurrentLayout()->Id()), current);
    QCOMPARE(dlg.LayoutList->currentIndex().row(), 0);
    // Enter imports it.
    QSignalSpy requested(&dlg, &TImportLayoutDlg::ImportRequested);
    QTest::keyClick(dlg.FilterEd, Qt::Key_Return);
    QCOMPARE(requested.count(), 1);
    QCOMPARE(QString::fromStdString(dlg.Options().layout), current.section(QLatin1Char('('), 0, 0));
}

void ImportLayoutDialogTest::codePageProposedForTheLayout_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("shown");    // the code page combo's text
    QTest::addColumn<QString>("codePage"); // what the import takes ("": the one in force)
    QTest::newRow("lt: CP1257") << "lt" << "CP1257" << "CP1257";
    QTest::newRow("ru: CP1251") << "ru" << "CP1251" << "CP1251";
    QTest::newRow("de: the one in force holds its letters") << "de" << "CP1252 (in force)" << "";
    QTest::newRow("us: every one holds them, the one in force first") << "us" << "CP1252 (in force)" << "";
}

void ImportLayoutDialogTest::codePageProposedForTheLayout()
{
    QFETCH(QString, id);
    QFETCH(QString, shown);
    QFETCH(QString, codePage);
    // Another layout first, so that the proposal follows the change.
    QVERIFY(m_dlg->SelectLayout(id == QStringLiteral("ru") ? QStringLiteral("lt") : QStringLiteral("ru")));
    QVERIFY(m_dlg->SelectLayout(id));
    QCOMPARE(m_dlg->CodePageCombo->currentText(), shown);
    QCOMPARE(QString::fromStdString(m_dlg->Options().codePage), codePage);
    QCOMPARE(m_dlg->ProposedCodePage(), shown.section(QLatin1Char(' '), 0, 0));
    // The proposal is told, and read as assistive technology reads it.
    QVERIFY(accessibleName(m_dlg->ProposalLb).contains(m_dlg->ProposedCodePage()));
    QVERIFY(accessibleName(m_dlg->ProposalLb).contains(id));
}

void ImportLayoutDialogTest::choiceMadeForALayoutStays()
{
    QVERIFY(m_dlg->SelectLayout(QStringLiteral("lt")));
    QCOMPARE(m_dlg->CodePageCombo->currentText(), QStringLiteral("CP1257"));
    m_dlg->CodePageCombo->setCurrentIndex(m_dlg->CodePageCombo->findText(QStringLiteral("CP1250")));
    m_dlg->BlockCombo->setCurrentIndex(1);
    QVERIFY(m_dlg->SelectLayout(QStringLiteral("lt")));
    QCOMPARE(m_dlg->Options().codePage, std::string("CP1250"));
    // Another layout gets its own proposal, and so does lt again.
    QVERIFY(m_dlg->SelectLayout(QStringLiteral("ru")));
    QCOMPARE(m_dlg->Options().codePage, std::string("CP1251"));
    QVERIFY(m_dlg->SelectLayout(QStringLiteral("lt")));
    QCOMPARE(m_dlg->Options().codePage, std::string("CP1257"));
}

void ImportLayoutDialogTest::optionsFollowTheControls_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<int>("blockIndex");
    QTest::addColumn<QString>("codePageShown");
    QTest::addColumn<bool>("pictures");
    QTest::addColumn<QString>("layout");
    QTest::addColumn<QString>("variant");
    QTest::addColumn<int>("block");
    QTest::addColumn<QString>("codePage");
    QTest::newRow("layout, ISO, in force") << "de" << 0 << "CP1252 (in force)" << true << "de" << ""
                                           << int(KeyBlock::Iso) << "";
    QTest::newRow("variant, ANSI, named") << "de(nodeadkeys)" << 1 << "CP1251" << false << "de"
                                          << "nodeadkeys" << int(KeyBlock::Ansi) << "CP1251";
    QTest::newRow("lt in CP1257") << "lt" << 0 << "CP1257" << true << "lt" << "" << int(KeyBlock::Iso) << "CP1257";
}

void ImportLayoutDialogTest::optionsFollowTheControls()
{
    QFETCH(QString, id);
    QFETCH(int, blockIndex);
    QFETCH(QString, codePageShown);
    QFETCH(bool, pictures);
    QFETCH(QString, layout);
    QFETCH(QString, variant);
    QFETCH(int, block);
    QFETCH(QString, codePage);
    QVERIFY(m_dlg->SelectLayout(id));
    m_dlg->BlockCombo->setCurrentIndex(blockIndex);
    const int cp = m_dlg->CodePageCombo->findText(codePageShown);
    QVERIFY2(cp >= 0, qPrintable(codePageShown));
    m_dlg->CodePageCombo->setCurrentIndex(cp);
    m_dlg->PicturesCheckbox->setChecked(pictures);

    const LayoutImportOptions o = m_dlg->Options();
    QCOMPARE(QString::fromStdString(o.layout), layout);
    QCOMPARE(QString::fromStdString(o.variant), variant);
    QCOMPARE(int(o.block), block);
    QCOMPARE(QString::fromStdString(o.codePage), codePage);
    QCOMPARE(m_dlg->DrawPictures(), pictures);
}

void ImportLayoutDialogTest::codePageInForceIsOfferedAndChosen_data()
{
    QTest::addColumn<QString>("inForce");
    QTest::newRow("a desktop code page") << "CP1257";
    QTest::newRow("one no desktop picks") << "CP866";
}

void ImportLayoutDialogTest::codePageInForceIsOfferedAndChosen()
{
    QFETCH(QString, inForce);
    qputenv("KEYFOLIO_CODEPAGE", inForce.toLatin1());
    CodePage::reload();
    QCOMPARE(QString::fromStdString(CodePage::current().name()), inForce);
    TImportLayoutDlg dlg(smallList());
    QComboBox *combo = dlg.CodePageCombo;
    QCOMPARE(combo->currentText(), inForce + QStringLiteral(" (in force)"));
    QVERIFY(dlg.Options().codePage.empty()); // the import takes the one in force

    // Every code page a desktop picks is offered, once, the one in force among them.
    QStringList offered;
    for (int i = 0; i < combo->count(); ++i)
        offered << combo->itemText(i).section(QLatin1Char(' '), 0, 0);
    for (const std::string &name : CodePage::desktopCodePages())
        QCOMPARE(offered.count(QString::fromStdString(name)), 1);
    QCOMPARE(offered.count(inForce), 1);
    QCOMPARE(offered.size(), qsizetype(CodePage::desktopCodePages().size()) + (inForce == "CP866" ? 1 : 0));
}

void ImportLayoutDialogTest::okAsksForImportAndStaysOpen_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("OK button") << "ok";
    QTest::newRow("Enter in the filter") << "enter";
    QTest::newRow("double click on a layout") << "double click";
}

void ImportLayoutDialogTest::okAsksForImportAndStaysOpen()
{
    QFETCH(QString, how);
    QSignalSpy requested(m_dlg.get(), &TImportLayoutDlg::ImportRequested);
    QSignalSpy finished(m_dlg.get(), &QDialog::finished);
    QVERIFY(m_dlg->SelectLayout(QStringLiteral("ru")));
    if (how == "ok") {
        QTest::mouseClick(m_dlg->OkBn, Qt::LeftButton);
    } else if (how == "enter") {
        m_dlg->FilterEd->setFocus();
        QTest::keyClick(m_dlg->FilterEd, Qt::Key_Return);
    } else {
        QTreeView *list = m_dlg->LayoutList;
        const QRect cell = list->visualRect(list->currentIndex());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, cell.center());
    }
    QCOMPARE(requested.count(), 1);
    QCOMPARE(m_dlg->CurrentLayout()->Id(), std::string("ru"));
    // The window that opened the dialog closes it once the import is done.
    QCOMPARE(finished.count(), 0);
    QVERIFY(m_dlg->isVisible());

    // Cancel closes it without asking anything.
    QTest::mouseClick(m_dlg->CancelBn, Qt::LeftButton);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.at(0).at(0).toInt(), int(QDialog::Rejected));
    QCOMPARE(requested.count(), 1);
}

void ImportLayoutDialogTest::everyControlNamedAndReachedByTab()
{
    QCOMPARE(m_dlg->windowTitle(), QStringLiteral("Import layout"));
    QWidget *const chain[] = {m_dlg->FilterEd, m_dlg->LayoutList, m_dlg->BlockCombo, m_dlg->CodePageCombo,
                              m_dlg->PicturesCheckbox, m_dlg->OkBn, m_dlg->CancelBn};
    for (QWidget *w : chain)
        QVERIFY2(!accessibleName(w).isEmpty(), qPrintable(w->objectName()));
    // The count label is read as it shows: its value is its name.
    QCOMPARE(accessibleName(m_dlg->CountLb), m_dlg->CountLb->text());

    m_dlg->FilterEd->setFocus();
    QVERIFY(m_dlg->FilterEd->hasFocus());
    for (size_t i = 1; i < std::size(chain); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QVERIFY2(chain[i]->hasFocus(), qPrintable(chain[i]->objectName() + QStringLiteral(" has no focus; ")
                                                  + (QApplication::focusWidget()
                                                         ? QApplication::focusWidget()->objectName()
                                                         : QStringLiteral("none"))));
    }
}

void ImportLayoutDialogTest::onlyTheControlWithTheFocusReportsIt_data()
{
    QTest::addColumn<bool>("inList"); // the focus in the list, else in the filter
    QTest::newRow("filter") << false;
    QTest::newRow("list") << true;
}

void ImportLayoutDialogTest::onlyTheControlWithTheFocusReportsIt()
{
    QFETCH(bool, inList);
    QTest::keyClicks(m_dlg->FilterEd, QStringLiteral("de"));
    if (inList)
        QTest::keyClick(m_dlg->FilterEd, Qt::Key_Tab);
    QCOMPARE(m_dlg->LayoutList->hasFocus(), inList);
    const QModelIndex current = m_dlg->LayoutList->currentIndex();
    QVERIFY(current.isValid());
    QAccessibleInterface *list = QAccessible::queryAccessibleInterface(m_dlg->LayoutList);
    QVERIFY(list && list->tableInterface());
    QAccessibleInterface *cell = list->tableInterface()->cellAt(current.row(), current.column());
    QVERIFY(cell);
    QCOMPARE(cell->text(QAccessible::Name), current.data().toString());
    QCOMPARE(cell->state().focused, inList);
    QCOMPARE(QAccessible::queryAccessibleInterface(m_dlg->FilterEd)->state().focused, !inList);
}

QTEST_MAIN(ImportLayoutDialogTest)
#include "ImportLayoutDialog_test.moc"
