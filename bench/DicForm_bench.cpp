// The dictionary window on a big text: scan (Ctrl+W), the three sorts (F5,
// F6, F7), a length filter and back, twenty page downs, and the save
// (Ctrl+S), each timed to its next screen update (a grab of the grid), on the
// offscreen platform. A timing harness:
//
//   dicform_bench TEXT-FILE [OUT-FILE]

// First: the word splitter has a member named like a Qt macro.
#include "words/DicBuilder.h"

#include "app/ComFormFactory.h"
#include "app/MainForm.h"
#include "common/ScriptedDialogs.h"
#include "dbctrls/DBGrid.h"
#include "wordlist/DicForm.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QTest>

#include <cstdio>
#include <functional>
#include <memory>

using namespace kf;

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: dicform_bench TEXT-FILE [OUT-FILE]\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString text = QString::fromLocal8Bit(argv[1]);
    const QString out = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("/tmp/dicform_bench.dic");

    auto owned = std::make_unique<ScriptedDialogs>();
    ScriptedDialogs &dialogs = *owned;
    SetDialogs(std::move(owned));
    TMainFm main;
    main.show();
    main.A_Dictionary->trigger();
    TDicFm *form = main.Factory().FindForm<TDicFm>();
    if (!form) {
        std::fprintf(stderr, "the dictionary window did not open\n");
        return 1;
    }
    TDBGrid *grid = form->WordGrid;
    QApplication::processEvents();

    auto timed = [&](const char *what, const std::function<void()> &step) {
        QElapsedTimer t;
        t.start();
        step();
        QApplication::processEvents();
        grid->viewport()->grab(); // the screen update that follows
        std::printf("%-28s %8.1f ms  (%d rows listed)\n", what, double(t.nsecsElapsed()) / 1e6,
                    form->Builder().WordCount());
    };
    timed("scan (Ctrl+W)", [&] {
        dialogs.answerFiles({text});
        dialogs.answerYes();
        form->A_MakeWordList->trigger();
    });
    timed("sort by frequency (F5)", [&] { form->A_SortByFrequency->trigger(); });
    timed("sort by alpha (F6)", [&] { form->A_SortByAlpha->trigger(); });
    timed("sort by length (F7)", [&] { form->A_SortByLen->trigger(); });
    timed("length filter 5..7 (F11)", [&] {
        dialogs.answerText(QStringLiteral("5"));
        dialogs.answerText(QStringLiteral("7"));
        form->A_FilterWordLength->trigger();
    });
    timed("list all (F9)", [&] { form->A_ListAll->trigger(); });
    timed("twenty page downs", [&] {
        grid->setFocus();
        for (int i = 0; i < 20; ++i) {
            QTest::keyClick(grid, Qt::Key_PageDown);
            grid->viewport()->grab();
        }
    });
    timed("save (Ctrl+S)", [&] {
        dialogs.answerFile(out);
        form->A_SaveWordlist->trigger();
    });
    // The list is saved: closing asks nothing.
    return 0;
}
