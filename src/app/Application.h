#pragma once
// The application object: a QApplication whose event delivery reports an
// error that escapes an event handler through AppException and goes on.
// That is the last resort only: every handler that can fail catches its own
// errors where it is connected or run (ReportErrors, RunReportingErrors), for
// Qt's signal and event code must never be unwound by an exception.

#include <QApplication>

namespace kf {

class TApplication : public QApplication {
    Q_OBJECT
public:
    TApplication(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;
};

} // namespace kf
