#pragma once
// The wait cursor for the length of a scope, restored however the scope ends
// (an error thrown out of long work included). Nested busy scopes stack.

#include <QCursor>
#include <QGuiApplication>

namespace kf {

class BusyCursor {
public:
    BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;
};

} // namespace kf
