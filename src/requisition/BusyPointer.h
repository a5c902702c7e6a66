#pragma once

// The hourglass pointer while long work runs; guards nest. A command that starts long work does
// nothing while the pointer is busy.
class BusyPointer {
public:
    BusyPointer();
    ~BusyPointer();
    BusyPointer(const BusyPointer &) = delete;
    BusyPointer &operator=(const BusyPointer &) = delete;

    static bool isBusy();
};
