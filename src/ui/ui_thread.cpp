#include "ui/ui_thread.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QThread>
#include <chrono>
#include <cstdint>
#include <future>
#include <memory>
#include <mutex>

namespace ui {

namespace {

// How often a waiting thread looks at its stop flag.
constexpr std::chrono::milliseconds kStopPollInterval{10};

// Work on its way to the UI thread. The event queue owns the event, so the
// work and all it holds end on the UI thread, not back on the poster's thread
// (where a queued functor call could drop its last reference).
class WorkEvent : public QEvent {
public:
    WorkEvent(std::function<void()> work, QObject* context)
        : QEvent(Type()), m_work(std::move(work)), m_context(context), m_guarded(context) {}
    ~WorkEvent() override { Received(); }

    // Qt's queue hands the event over under locks that ThreadSanitizer cannot
    // see; this release and acquire show it the hand-off it already has. One
    // count for all events, so the receiver can acquire before it looks at
    // the event at all (its type first).
    static void Publish() { g_handedOver.fetch_add(1, std::memory_order_release); }
    static void Received() { (void)g_handedOver.load(std::memory_order_acquire); }

    static QEvent::Type Type() {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }

    void Run() {
        Received();
        if (!m_guarded || m_context) m_work();
    }

private:
    static inline std::atomic<std::uint64_t> g_handedOver{0};
    std::function<void()> m_work;
    QPointer<QObject> m_context;
    bool m_guarded;
};

class WorkReceiver : public QObject {
public:
    bool event(QEvent* event) override {
        WorkEvent::Received();
        if (event->type() != WorkEvent::Type()) return QObject::event(event);
        static_cast<WorkEvent*>(event)->Run();
        return true;
    }
};

std::mutex g_receiverMutex;
WorkReceiver* g_receiver = nullptr;  // in the UI thread while the application exists

}  // namespace

bool IsUiThread() {
    const QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

void PostToUiThread(std::function<void()> work, QObject* context) {
    auto event = std::make_unique<WorkEvent>(std::move(work), context);
    std::lock_guard<std::mutex> lock(g_receiverMutex);
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return;
    if (!g_receiver) {
        g_receiver = new WorkReceiver;
        g_receiver->moveToThread(app->thread());
        // Work still queued when the application goes away goes with it.
        QObject::connect(app, &QObject::destroyed, [] {
            std::lock_guard<std::mutex> lock(g_receiverMutex);
            delete g_receiver;
            g_receiver = nullptr;
        });
    }
    WorkEvent::Publish();
    QCoreApplication::postEvent(g_receiver, event.release());
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
