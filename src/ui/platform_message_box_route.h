#pragma once
// Sends the message boxes of the code below the windows (platform's seam)
// through the message box service, so that the operator and the tests see
// them like every other box.
#include <atomic>
#include <memory>

namespace ui {

// On the UI thread a box shows at once. From another thread it is posted to
// the UI thread and the caller waits until the operator has answered it, or
// until GiveUp: shutdown calls that before joining a thread that might be
// waiting, and a later box from a thread is then dropped.
class PlatformMessageBoxRoute {
public:
    PlatformMessageBoxRoute();
    // Gives up and restores the seam's default handler.
    ~PlatformMessageBoxRoute();
    PlatformMessageBoxRoute(const PlatformMessageBoxRoute&) = delete;
    PlatformMessageBoxRoute& operator=(const PlatformMessageBoxRoute&) = delete;

    void GiveUp();

private:
    // Shared with the handler, which a thread may still be running after
    // this object is gone.
    std::shared_ptr<std::atomic<bool>> m_givenUp;
};

}  // namespace ui
