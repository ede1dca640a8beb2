#pragma once
// The application object: a QApplication whose event delivery reports every
// error that escapes an event handler through AppException and goes on.

#include <QApplication>

namespace kf {

class TApplication : public QApplication {
    Q_OBJECT
public:
    TApplication(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;
};

} // namespace kf
