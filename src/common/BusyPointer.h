#pragma once

#include <QCursor>
#include <QGuiApplication>

// The one guard of long work started by the user (batch coding, loading a coding workbook, a walk over
// a drawing): the hourglass pointer while it runs; guards nest. Such work lets events through so that its
// stop button answers; a command that starts long work does nothing while the pointer is busy, so no
// second one starts inside the first.
class BusyPointer {
public:
    BusyPointer() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyPointer() { QGuiApplication::restoreOverrideCursor(); }
    BusyPointer(const BusyPointer &) = delete;
    BusyPointer &operator=(const BusyPointer &) = delete;

    static bool isBusy() {
        const QCursor *cursor = QGuiApplication::overrideCursor();
        return cursor && cursor->shape() == Qt::WaitCursor;
    }
};
