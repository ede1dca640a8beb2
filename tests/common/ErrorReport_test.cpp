// The error report of event handlers: a handler connected through
// ReportErrors shows its error as the application-wide report does and the
// error never reaches the code that emitted the signal.

#include "common/ErrorReport.h"
#include "common/Errors.h"
#include "common/ScriptedDialogs.h"

#include <QCoreApplication>
#include <QObject>
#include <QTimer>

#include <gtest/gtest.h>

namespace kf {
namespace {

class Handler : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
signals:
    void fired(int value, const QString &text);
};

class ErrorReportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto own = std::make_unique<ScriptedDialogs>();
        dialogs = own.get();
        previous = SetDialogs(std::move(own));
    }
    void TearDown() override { SetDialogs(std::move(previous)); }

    ScriptedDialogs *dialogs = nullptr;
    std::unique_ptr<IDialogs> previous;
};

TEST_F(ErrorReportTest, AHandlerErrorIsReportedAtTheConnectionAndGoesNoFurther)
{
    Handler h;
    int seen = -1;
    QString text;
    QObject::connect(&h, &Handler::fired, &h, ReportErrors(&h, [&](int v, const QString &t) {
                         seen = v;
                         text = t;
                         throw EDatabaseError("Field 'Name' must have a value");
                     }));
    EXPECT_NO_THROW(emit h.fired(7, QStringLiteral("x")));
    EXPECT_EQ(seen, 7);
    EXPECT_EQ(text, QStringLiteral("x"));
    ASSERT_EQ(dialogs->count(ScriptedDialogs::Kind::Message), 1);
    const auto &m = dialogs->last(ScriptedDialogs::Kind::Message);
    EXPECT_EQ(m.caption, ApplicationTitle());
    EXPECT_EQ(m.text.toStdString(), "AppException: Handler~EDatabaseError--Field 'Name' must have a value");
}

TEST_F(ErrorReportTest, HandlersTakeAllTheFirstOrNoneOfTheSignalsArguments)
{
    Handler h;
    int calls = 0;
    QObject::connect(&h, &Handler::fired, &h, ReportErrors(&h, [&] { ++calls; }));
    QObject::connect(&h, &Handler::fired, &h, ReportErrors(&h, [&](int v) { calls += v; }));
    emit h.fired(10, QString());
    EXPECT_EQ(calls, 11);
    EXPECT_EQ(dialogs->count(ScriptedDialogs::Kind::Message), 0);
}

TEST_F(ErrorReportTest, RunReportingErrorsSaysWhetherTheHandlerFinished)
{
    QObject o;
    EXPECT_TRUE(RunReportingErrors(&o, [] {}));
    EXPECT_FALSE(RunReportingErrors(&o, [] { throw 42; }));
    ASSERT_EQ(dialogs->count(ScriptedDialogs::Kind::Message), 1);
    EXPECT_EQ(dialogs->last(ScriptedDialogs::Kind::Message).text,
              QStringLiteral("AppException: QObject~runtime_error--Unknown error"));
}

} // namespace
} // namespace kf

#include "ErrorReport_test.moc"
