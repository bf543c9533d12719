#include "link/port_job_channel.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "link/machine_port.h"

namespace {

// What one call hands over at most: a call that the machine takes whole
// still returns soon.
constexpr std::size_t kSliceBytes = 64 * 1024;
// Without a way to abandon a write, a machine that takes no data for this
// long is taken as gone, so that job output never blocks for ever.
constexpr std::chrono::seconds kNoProgressLimit{30};
// A library that answers a full machine at once must not spin a core.
constexpr std::chrono::milliseconds kFullPause{5};

class PortJobChannel : public platform::PrintChannel {
public:
    explicit PortJobChannel(CMachinePort& port) : m_port(port) {}

    bool Start() override { return m_port.IsOpen() && m_port.CanWrite(); }

    bool Send(const char* bytes, std::size_t length,
              const std::function<bool()>& abandon) override {
        std::size_t sent = 0;
        auto progress = std::chrono::steady_clock::now();
        while (sent < length) {
            if (abandon && abandon()) return false;
            std::uint32_t written = 0;
            const auto slice = static_cast<std::uint32_t>(std::min(length - sent, kSliceBytes));
            if (!m_port.Write(bytes + sent, slice, written)) return false;
            const auto now = std::chrono::steady_clock::now();
            if (written > 0) {
                sent += written;
                progress = now;
                continue;
            }
            if (!abandon && now - progress > kNoProgressLimit) return false;
            std::this_thread::sleep_for(kFullPause);
        }
        return true;
    }

    // What was written has reached the machine already.
    bool Finish(bool) override { return true; }

private:
    CMachinePort& m_port;
};

}  // namespace

std::unique_ptr<platform::PrintChannel> OpenPortJobChannel(CMachinePort& port) {
    if (!port.IsOpen() || !port.CanWrite()) return nullptr;
    return std::make_unique<PortJobChannel>(port);
}
