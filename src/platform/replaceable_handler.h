#pragma once
// A process-wide handler that one thread may replace while another calls it:
// the caller takes a copy under the lock and calls it outside, so a slow
// handler (a message box open for minutes) never holds up a replacement, and a
// handler may itself replace the handler. An empty handler means the fallback.
#include <mutex>
#include <utility>

namespace platform {

template <class Handler>
class ReplaceableHandler {
public:
    explicit ReplaceableHandler(Handler fallback) : m_fallback(std::move(fallback)) {}

    void Set(Handler handler) {
        std::lock_guard lock(m_mutex);
        m_handler = std::move(handler);
    }

    template <class... Args>
    void Call(Args&&... args) const {
        Handler handler;
        {
            std::lock_guard lock(m_mutex);
            handler = m_handler;
        }
        (handler ? handler : m_fallback)(std::forward<Args>(args)...);
    }

private:
    mutable std::mutex m_mutex;
    Handler m_handler;
    const Handler m_fallback;
};

}  // namespace platform
