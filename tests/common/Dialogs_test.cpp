#include "common/Dialogs.h"

#include "common/ScriptedDialogs.h"

#include <gtest/gtest.h>

#include <QtGlobal>

#include <functional>
#include <string>
#include <vector>

using namespace kf;

namespace {

std::vector<QString> *logged = nullptr;

void keepMessage(QtMsgType, const QMessageLogContext &, const QString &text)
{
    if (logged)
        logged->push_back(text);
}

// Collects what is logged while it lives.
class LogCapture {
public:
    LogCapture() : m_previous(qInstallMessageHandler(keepMessage)) { logged = &messages; }
    ~LogCapture()
    {
        logged = nullptr;
        qInstallMessageHandler(m_previous);
    }
    std::vector<QString> messages;

private:
    QtMessageHandler m_previous;
};

struct Asking {
    const char *name;
    std::function<bool()> cancelled; // true when answered as cancelled
    const char *shown;               // the text that must reach the log
};

const std::vector<Asking> &askings()
{
    static const std::vector<Asking> list = {
        {"open file", [] { FileRequest r; r.title = "Open keyboard"; return Dialogs().openFiles(r).isEmpty(); }, "Open keyboard"},
        {"save file", [] { FileRequest r; r.title = "Save result"; return Dialogs().saveFile(r).isEmpty(); }, "Save result"},
        {"colour", [] { return !Dialogs().chooseColor(0x123456).has_value(); }, "colour"},
        {"yes or no", [] { return !Dialogs().confirm("Close without saving?"); }, "Close without saving?"},
        {"ok or cancel", [] { return !Dialogs().okCancel("Delete record?"); }, "Delete record?"},
        {"save, discard or cancel",
         [] { return Dialogs().saveDiscardCancel("Save changes?") == SaveAnswer::Cancel; }, "Save changes?"},
        {"input", [] { return !Dialogs().inputBox("Filter", "Min:", "0").has_value(); }, "Min:"},
        {"information", [] { Dialogs().information("Saved."); return true; }, "Saved."},
        {"warning", [] { Dialogs().warning("Load", "Cannot load"); return true; }, "Cannot load"},
        {"message", [] { Dialogs().message("Title", "AppException: x"); return true; }, "AppException: x"},
        {"error", [] { Dialogs().error("Title", "Cannot start"); return true; }, "Cannot start"},
    };
    return list;
}

// With no service installed, nothing is answered as if someone had agreed,
// and nothing asked or told goes by without a trace.
TEST(Dialogs, WithoutServiceEveryQuestionIsCancelledAndLogged)
{
    ASSERT_FALSE(DialogsInstalled());
    EXPECT_EQ(dynamic_cast<ScriptedDialogs *>(&Dialogs()), nullptr) << "the test double is never the default";
    for (const Asking &a : askings()) {
        SCOPED_TRACE(a.name);
        LogCapture log;
        EXPECT_TRUE(a.cancelled());
        ASSERT_EQ(log.messages.size(), 1u);
        EXPECT_TRUE(log.messages[0].startsWith("No dialog service installed")) << log.messages[0].toStdString();
        EXPECT_TRUE(log.messages[0].contains(QString::fromUtf8(a.shown))) << log.messages[0].toStdString();
    }
}

TEST(Dialogs, InstalledServiceAnswersUntilRemoved)
{
    auto scripted = std::make_unique<ScriptedDialogs>();
    ScriptedDialogs *s = scripted.get();
    s->answerYes();
    auto previous = SetDialogs(std::move(scripted));
    EXPECT_TRUE(DialogsInstalled());
    EXPECT_EQ(&Dialogs(), s);
    {
        LogCapture log;
        EXPECT_TRUE(Dialogs().confirm("Continue?"));
        Dialogs().error("Title", "Cannot start");
        EXPECT_TRUE(log.messages.empty());
    }
    EXPECT_EQ(s->count(ScriptedDialogs::Kind::Error), 1);
    EXPECT_EQ(s->last(ScriptedDialogs::Kind::Error).text, "Cannot start");

    auto removed = SetDialogs(nullptr);
    EXPECT_EQ(removed.get(), s);
    EXPECT_FALSE(DialogsInstalled());
    LogCapture log;
    EXPECT_FALSE(Dialogs().confirm("Continue?"));
    EXPECT_EQ(log.messages.size(), 1u);
    SetDialogs(std::move(previous));
}

} // namespace
