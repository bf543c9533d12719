#include "driver/event_thread.h"

#include <chrono>

#include "driver/transfer_limits.h"

namespace usb_driver {

namespace {

// The longest the thread sleeps in libusb at a time, so that it sees stop.
constexpr timeval kEventSlice{0, 50'000};

// As libusb's synchronous calls report a transfer's end.
int ErrorOf(libusb_transfer_status status) {
    switch (status) {
        case LIBUSB_TRANSFER_COMPLETED:
            return 0;
        case LIBUSB_TRANSFER_TIMED_OUT:
            return LIBUSB_ERROR_TIMEOUT;
        case LIBUSB_TRANSFER_STALL:
            return LIBUSB_ERROR_PIPE;
        case LIBUSB_TRANSFER_NO_DEVICE:
            return LIBUSB_ERROR_NO_DEVICE;
        case LIBUSB_TRANSFER_OVERFLOW:
            return LIBUSB_ERROR_OVERFLOW;
        case LIBUSB_TRANSFER_CANCELLED:
            return LIBUSB_ERROR_INTERRUPTED;
        default:
            return LIBUSB_ERROR_IO;
    }
}

}  // namespace

// One transfer in flight. Freed by the waiter, or, once the waiter has given
// the transfer up, by the completion.
struct EventThread::Pending {
    EventThread* owner;
    bool done = false;
    bool abandoned = false;
};

EventThread::EventThread(libusb_context* context)
    : m_context(context), m_thread([this] { Loop(); }) {}

EventThread::~EventThread() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_work.notify_all();
    libusb_interrupt_event_handler(m_context);
    m_thread.join();
}

void EventThread::Loop() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        // Only while transfers are in flight: an emulated device node polls
        // ready at all times, and the thread would spin.
        m_work.wait(lock, [this] { return m_stop || m_inFlight > 0; });
        if (m_stop) return;
        lock.unlock();
        timeval slice = kEventSlice;
        libusb_handle_events_timeout_completed(m_context, &slice, nullptr);
        lock.lock();
    }
}

void LIBUSB_CALL EventThread::Completed(libusb_transfer* transfer) {
    auto* pending = static_cast<Pending*>(transfer->user_data);
    EventThread& owner = *pending->owner;
    std::unique_lock lock(owner.m_mutex);
    if (pending->abandoned) {
        lock.unlock();
        delete pending;
        libusb_free_transfer(transfer);
        return;
    }
    pending->done = true;
    owner.m_done.notify_all();
}

int EventThread::Run(TransferPtr& transfer) {
    auto pending = std::make_unique<Pending>(Pending{this});
    transfer->user_data = pending.get();
    transfer->callback = &EventThread::Completed;
    {
        std::lock_guard lock(m_mutex);
        ++m_inFlight;
    }
    m_work.notify_all();
    const int submitted = libusb_submit_transfer(transfer.get());

    std::unique_lock lock(m_mutex);
    const auto ended = [&] { return pending->done; };
    bool cancelled = false;
    if (submitted == 0 &&
        !m_done.wait_for(lock, std::chrono::milliseconds(transfer->timeout) + kOverdueGrace,
                         ended)) {
        lock.unlock();
        cancelled = libusb_cancel_transfer(transfer.get()) == 0;
        lock.lock();
        if (!m_done.wait_for(lock, kOverdueGrace, ended)) {
            pending.release()->abandoned = true;
            static_cast<void>(transfer.release());
            --m_inFlight;
            return LIBUSB_ERROR_TIMEOUT;
        }
    }
    --m_inFlight;
    if (submitted != 0) return submitted;
    // Cancelled here for being overdue: to the caller that is a time-out.
    if (cancelled && transfer->status == LIBUSB_TRANSFER_CANCELLED) return LIBUSB_ERROR_TIMEOUT;
    return ErrorOf(transfer->status);
}

}  // namespace usb_driver
