#pragma once

#include "link/hid/hid_platform.h"

#include <QtGlobal>

#include <memory>
#include <thread>

class TJvHidDevice;

// Reads one device's input reports on a thread of its own and hands each report, and each read
// error, to the main thread, waiting until the main thread has run the handler. Made, started
// and stopped on the main thread.
class TJvHidDeviceReadThread {
public:
    TJvHidDeviceReadThread(TJvHidDevice* device, std::unique_ptr<HidHandle> readHandle,
                           quint32 openError, int sleepTime);
    ~TJvHidDeviceReadThread();

    void Resume();
    // Tells the thread to stop and waits for it. A hand-off it is waiting on meanwhile is run
    // here, by the main thread, so this cannot deadlock. Called from inside a hand-off of this
    // same thread, it cannot wait: the thread ends on its own once that hand-off returns.
    void Stop();

    void SetSleepTime(int ms);
    // Called while a report is being handled: the next read starts no sooner than `ms` from now.
    void Hold(int ms);
    // The read handle is closed at the next turn of the loop; reads fail with `error` from
    // then on.
    void CloseHandle(quint32 error);
    // A report or error is waiting for the main thread.
    bool Pending() const;

    struct Core;

private:
    std::shared_ptr<Core> core_;
    std::thread thread_;
};
