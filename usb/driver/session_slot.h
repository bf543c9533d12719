#pragma once
// The one open session, shared by the threads that call the library at once.
// A call leases the session for its duration; Retire takes it away from new
// calls and waits, with a bound, until the running ones are done, so that a
// Close never frees it under a running call. Should the bound run out, the
// last lease still holds it, and frees it.
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <utility>

namespace usb_driver {

template <typename Session>
class SessionSlot {
public:
    class Lease {
    public:
        Lease() = default;
        Lease(Lease&& other) noexcept
            : m_slot(std::exchange(other.m_slot, nullptr)), m_session(std::move(other.m_session)) {}
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;
        Lease& operator=(Lease&&) = delete;
        ~Lease() {
            if (!m_slot) return;
            m_session.reset();  // before the count, so that Retire's caller frees it
            m_slot->Release();
        }

        explicit operator bool() const { return m_session != nullptr; }
        Session* operator->() const { return m_session.get(); }
        Session& operator*() const { return *m_session; }

    private:
        friend class SessionSlot;
        Lease(SessionSlot* slot, std::shared_ptr<Session> session)
            : m_slot(slot), m_session(std::move(session)) {}

        SessionSlot* m_slot = nullptr;
        std::shared_ptr<Session> m_session;
    };

    // An empty lease while no session is installed.
    Lease Acquire() {
        std::lock_guard lock(m_mutex);
        if (!m_session) return {};
        ++m_leases;
        return Lease(this, m_session);
    }

    // Takes the place of whatever was installed (Retire it first to wait for its calls).
    void Install(std::shared_ptr<Session> session) {
        std::lock_guard lock(m_mutex);
        m_session = std::move(session);
    }

    // The session taken out (null when there was none), once no call leases it
    // or `bound` has passed.
    std::shared_ptr<Session> Retire(std::chrono::milliseconds bound) {
        std::unique_lock lock(m_mutex);
        std::shared_ptr<Session> session = std::move(m_session);
        m_idle.wait_for(lock, bound, [this] { return m_leases == 0; });
        return session;
    }

private:
    void Release() {
        std::lock_guard lock(m_mutex);
        if (--m_leases == 0) m_idle.notify_all();
    }

    std::mutex m_mutex;
    std::condition_variable m_idle;
    std::shared_ptr<Session> m_session;
    int m_leases = 0;
};

}  // namespace usb_driver
