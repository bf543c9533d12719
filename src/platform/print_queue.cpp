#include "platform/print_queue.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace platform {

namespace {

constexpr std::size_t kBufferSize = 64 * 1024;
// A machine whose memory is full takes no data until it has worked through
// some, which may take minutes; a write waits for it in slices this long, so
// that it can be abandoned soon after it is no longer wanted.
constexpr timeval kSendSlice{0, 100 * 1000};
// Without a way to abandon a write, a machine that takes no data for this
// long is taken as gone, so a job output can never block for ever.
constexpr std::chrono::seconds kNoProgressLimit{30};

std::string EnvOr(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    return value && *value ? std::string(value) : fallback;
}

int Connect(const std::string& path) {
    sockaddr_un address{};
    if (path.size() >= sizeof address.sun_path) return -1;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &kSendSlice, sizeof kSendSlice);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

std::string PrintQueue::MachineFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string fallback = runtime && *runtime
                                     ? std::string(runtime) + "/tarnwick-sim"
                                     : "/tmp/tarnwick-sim-" + std::to_string(::getuid());
    return EnvOr("TARNWICK_SIM_DIR", fallback);
}

std::unique_ptr<PrintQueue> PrintQueue::Open(const std::string& name) {
    const std::string path = MachineFolder() + "/" + name + ".job";
    struct stat st;
    if (name.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISSOCK(st.st_mode)) return nullptr;
    return std::unique_ptr<PrintQueue>(new PrintQueue(path));
}

PrintQueue::PrintQueue(std::string path) : m_path(std::move(path)) {}

PrintQueue::~PrintQueue() {
    if (m_socket >= 0) EndDocument();
}

bool PrintQueue::StartDocument(const std::string&, const std::string&) {
    if (m_socket >= 0) return false;  // one document at a time
    m_socket = Connect(m_path);
    m_failed = m_socket < 0;
    m_buffer.clear();
    m_buffer.reserve(kBufferSize);
    return !m_failed;
}

bool PrintQueue::StartPage() {
    if (m_socket < 0) return false;
    m_inPage = true;
    return true;
}

bool PrintQueue::Write(const void* data, std::size_t length) {
    if (!m_inPage || m_failed) return false;
    const char* bytes = static_cast<const char*>(data);
    if (m_buffer.size() + length < kBufferSize) {
        m_buffer.insert(m_buffer.end(), bytes, bytes + length);
        return true;
    }
    // What is buffered goes first; a write of a buffer's worth or more then
    // goes out as it is rather than through the buffer.
    if (!Flush()) return false;
    if (length < kBufferSize) {
        m_buffer.insert(m_buffer.end(), bytes, bytes + length);
        return true;
    }
    return Send(bytes, length);
}

bool PrintQueue::Flush() {
    const bool sent = Send(m_buffer.data(), m_buffer.size());
    m_buffer.clear();
    return sent;
}

bool PrintQueue::Send(const char* bytes, std::size_t length) {
    std::size_t sent = 0;
    auto progress = std::chrono::steady_clock::now();
    while (sent < length && !m_failed) {
        const ssize_t n = ::send(m_socket, bytes + sent, length - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            progress = std::chrono::steady_clock::now();
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) &&
                   (m_abandon ? !m_abandon()
                              : std::chrono::steady_clock::now() - progress < kNoProgressLimit)) {
            continue;  // the machine is busy, not gone
        } else {
            m_failed = true;
        }
    }
    return !m_failed;
}

bool PrintQueue::EndPage() {
    if (!m_inPage) return false;
    m_inPage = false;
    return Flush();
}

bool PrintQueue::EndDocument() {
    if (m_socket < 0) return false;
    if (m_inPage) EndPage();
    const bool ok = Flush();
    Disconnect();
    return ok;
}

void PrintQueue::Disconnect() {
    if (m_socket >= 0) ::close(m_socket);
    m_socket = -1;
    m_inPage = false;
}

}  // namespace platform
