// Getting work onto the UI thread from a worker, with and without waiting.
#include "ui/ui_thread.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "ui_worker.h"

namespace {

QThread* UiThread() { return QCoreApplication::instance()->thread(); }

TEST(UiThreadTest, PostedWorkRunsOnTheUiThreadInOrder) {
    std::vector<int> order;
    std::vector<QThread*> threads;
    std::thread worker([&] {
        EXPECT_FALSE(ui::IsUiThread());
        for (int i = 1; i <= 3; ++i)
            ui::PostToUiThread([&, i] {
                order.push_back(i);
                threads.push_back(QThread::currentThread());
            });
    });
    worker.join();
    EXPECT_TRUE(order.empty());
    QCoreApplication::processEvents();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(threads, (std::vector<QThread*>(3, UiThread())));
}

TEST(UiThreadTest, WorkForAContextDestroyedBeforeItRunsIsDropped) {
    bool ran = false;
    auto context = std::make_unique<QObject>();
    std::thread worker([&] { ui::PostToUiThread([&] { ran = true; }, context.get()); });
    worker.join();
    context.reset();
    QCoreApplication::processEvents();
    EXPECT_FALSE(ran);
}

TEST(UiThreadTest, WaitingCallReturnsWhatTheUiThreadComputed) {
    const std::atomic<bool> stop{false};
    std::optional<QThread*> ranOn;
    bool ran = false;
    RunWorkerWhileUiRuns([&] {
        ranOn = ui::CallOnUiThread<QThread*>([] { return QThread::currentThread(); }, stop);
        ran = ui::RunOnUiThread([] {}, stop);
    });
    ASSERT_TRUE(ranOn.has_value());
    EXPECT_EQ(*ranOn, UiThread());
    EXPECT_TRUE(ran);
    // On the UI thread itself the work runs at once.
    EXPECT_EQ(ui::CallOnUiThread<int>([] { return 42; }, stop), 42);
}

TEST(UiThreadTest, WaitingCallGivesUpWhenStopIsRaised) {
    std::atomic<bool> stop{false};
    auto ran = std::make_shared<std::atomic<bool>>(false);
    bool result = true;
    // The UI thread is busy (here: in this test) and handles no events.
    std::thread worker([&] { result = ui::RunOnUiThread([ran] { *ran = true; }, stop); });
    stop = true;
    worker.join();
    EXPECT_FALSE(result);
    // Given up on before it started: it never starts.
    QCoreApplication::processEvents();
    EXPECT_FALSE(*ran);

    // Raised before the call: nothing is queued.
    std::optional<int> value = 0;
    std::thread late([&] { value = ui::CallOnUiThread<int>([] { return 1; }, stop); });
    late.join();
    EXPECT_FALSE(value.has_value());
}

}  // namespace
