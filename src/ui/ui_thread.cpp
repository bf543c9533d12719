#include "ui/ui_thread.h"

#include <QCoreApplication>
#include <QThread>
#include <chrono>
#include <future>

namespace ui {

namespace {

// How often a waiting thread looks at its stop flag.
constexpr std::chrono::milliseconds kStopPollInterval{10};

}  // namespace

bool IsUiThread() {
    const QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

void PostToUiThread(std::function<void()> work, QObject* context) {
    QMetaObject::invokeMethod(context ? context : QCoreApplication::instance(), std::move(work),
                              Qt::QueuedConnection);
}

bool RunOnUiThread(std::function<void()> work, const std::atomic<bool>& stop) {
    if (IsUiThread()) {
        work();
        return true;
    }
    if (stop.load() || !QCoreApplication::instance()) return false;

    // The queued call owns the promise: if the application drops the call
    // unrun, the promise breaks and the wait below ends.
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> finished = done->get_future();
    auto givenUp = std::make_shared<std::atomic<bool>>(false);
    PostToUiThread([done, givenUp, work = std::move(work)] {
        if (givenUp->load()) return;
        work();
        done->set_value();
    });
    while (finished.wait_for(kStopPollInterval) != std::future_status::ready) {
        if (stop.load()) {
            givenUp->store(true);
            return false;
        }
    }
    try {
        finished.get();
        return true;
    } catch (const std::future_error&) {
        return false;  // dropped unrun
    }
}

}  // namespace ui
