#include "BusyPointer.h"

#include <QCursor>
#include <QGuiApplication>

BusyPointer::BusyPointer() {
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

BusyPointer::~BusyPointer() {
    QGuiApplication::restoreOverrideCursor();
}

bool BusyPointer::isBusy() {
    const QCursor *cursor = QGuiApplication::overrideCursor();
    return cursor && cursor->shape() == Qt::WaitCursor;
}
