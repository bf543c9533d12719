#pragma once
// libusb's events for one context, handled on a thread of its own while
// transfers are in flight. Every transfer completes on that thread, and the
// thread that submitted it learns of it through this class's lock. (With
// libusb's synchronous calls, one caller's event handling completes another
// caller's transfer, and the owner frees it with no ordering between the two:
// a data race inside libusb whenever a frame and job data overlap.)
#include <libusb.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace usb_driver {

struct TransferDeleter {
    void operator()(libusb_transfer* transfer) const { libusb_free_transfer(transfer); }
};
// A transfer that owns its buffer (LIBUSB_TRANSFER_FREE_BUFFER).
using TransferPtr = std::unique_ptr<libusb_transfer, TransferDeleter>;

class EventThread {
public:
    explicit EventThread(libusb_context* context);
    ~EventThread();
    EventThread(const EventThread&) = delete;
    EventThread& operator=(const EventThread&) = delete;

    // Submits the transfer and waits until it has ended: 0 when it ran to its
    // end (its status and actual_length say how it went), else the libusb
    // error (LIBUSB_ERROR_TIMEOUT for its own time-out). Should it not end
    // well after its time-out (a device that never gives it back), it is
    // handed to libusb to be freed whenever it ends, `transfer` is emptied
    // and the result is LIBUSB_ERROR_TIMEOUT: no caller waits for ever.
    int Run(TransferPtr& transfer);

private:
    struct Pending;
    static void LIBUSB_CALL Completed(libusb_transfer* transfer);
    void Loop();

    libusb_context* const m_context;
    std::mutex m_mutex;
    std::condition_variable m_work;  // transfers in flight, or stop
    std::condition_variable m_done;  // a transfer has completed
    int m_inFlight = 0;
    bool m_stop = false;
    std::thread m_thread;  // last: it starts once the rest is ready
};

}  // namespace usb_driver
