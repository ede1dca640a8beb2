#include "app/Application.h"

#include "common/ErrorReport.h"

#include <stdexcept>

namespace kf {

TApplication::TApplication(int &argc, char **argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &e) {
        AppException(receiver, e);
    } catch (...) {
        AppException(receiver, std::runtime_error("Unknown error"));
    }
    return false;
}

} // namespace kf
