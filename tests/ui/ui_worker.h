#pragma once
// Runs a worker thread while the UI thread (the test) keeps handling events,
// as the program's UI thread does while the command thread works.
#include <QCoreApplication>
#include <QEventLoop>
#include <atomic>
#include <functional>
#include <thread>

#include "ui/ui_thread.h"

inline void RunWorkerWhileUiRuns(const std::function<void()>& body) {
    std::atomic<bool> done{false};
    std::thread worker([&] {
        body();
        done = true;
        ui::PostToUiThread([] {});  // wakes the loop below
    });
    while (!done) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    worker.join();
}
