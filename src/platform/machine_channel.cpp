// The simulated machine's own job channel: one Unix-socket connection per document.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/print_channel.h"

namespace platform {

namespace {

// A machine whose memory is full takes no data until it has worked through
// some, which may take minutes; a write waits for it in slices this long, so
// that it can be abandoned soon after it is no longer wanted.
constexpr timeval kSendSlice{0, 100 * 1000};
// Without a way to abandon a write, a machine that takes no data for this
// long is taken as gone, so a job output can never block for ever.
constexpr std::chrono::seconds kNoProgressLimit{30};

class MachineChannel : public PrintChannel {
public:
    explicit MachineChannel(std::string path) : m_path(std::move(path)) {}
    ~MachineChannel() override { Close(); }

    bool Start() override {
        sockaddr_un address{};
        if (m_path.size() >= sizeof address.sun_path) return false;
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, m_path.c_str(), m_path.size() + 1);
        m_socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (m_socket < 0) return false;
        ::setsockopt(m_socket, SOL_SOCKET, SO_SNDTIMEO, &kSendSlice, sizeof kSendSlice);
        if (::connect(m_socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            Close();
            return false;
        }
        return true;
    }

    bool Send(const char* bytes, std::size_t length,
              const std::function<bool()>& abandon) override {
        std::size_t sent = 0;
        auto progress = std::chrono::steady_clock::now();
        while (sent < length) {
            const ssize_t n = ::send(m_socket, bytes + sent, length - sent, MSG_NOSIGNAL);
            if (n > 0) {
                sent += static_cast<std::size_t>(n);
                progress = std::chrono::steady_clock::now();
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) &&
                       (abandon ? !abandon()
                                : std::chrono::steady_clock::now() - progress < kNoProgressLimit)) {
                continue;  // the machine is busy, not gone
            } else {
                return false;
            }
        }
        return true;
    }

    // What was sent has reached the machine already.
    bool Finish(bool) override {
        const bool open = m_socket >= 0;
        Close();
        return open;
    }

private:
    void Close() {
        if (m_socket >= 0) ::close(m_socket);
        m_socket = -1;
    }

    std::string m_path;
    int m_socket = -1;
};

}  // namespace

std::unique_ptr<PrintChannel> OpenMachineChannel(const std::string& socketPath) {
    return std::make_unique<MachineChannel>(socketPath);
}

}  // namespace platform
