#pragma once
// A registration that ends with the object that holds it. A window registered
// with something that outlives it (the command thread's display) keeps one, so
// that nothing reaches the window once it has closed.
#include <functional>
#include <utility>

namespace ui {

class ScopedRegistration {
public:
    ScopedRegistration() = default;
    explicit ScopedRegistration(std::function<void()> unregister)
        : m_unregister(std::move(unregister)) {}
    ScopedRegistration(ScopedRegistration&& other) noexcept
        : m_unregister(std::exchange(other.m_unregister, {})) {}
    ScopedRegistration& operator=(ScopedRegistration&& other) noexcept {
        if (this != &other) {
            Reset();
            m_unregister = std::exchange(other.m_unregister, {});
        }
        return *this;
    }
    ScopedRegistration(const ScopedRegistration&) = delete;
    ScopedRegistration& operator=(const ScopedRegistration&) = delete;
    ~ScopedRegistration() { Reset(); }

    // Ends the registration now; later calls do nothing.
    void Reset() {
        if (std::function<void()> unregister = std::exchange(m_unregister, {})) unregister();
    }
    bool Active() const { return static_cast<bool>(m_unregister); }

private:
    std::function<void()> m_unregister;
};

}  // namespace ui
