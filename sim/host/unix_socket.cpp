#include "host/unix_socket.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <cerrno>
#include <cstring>

namespace sim {

namespace {

bool FillAddress(const std::string& path, sockaddr_un& address) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

// Polls `fd` and the stop descriptor; 1 readable, 0 stop or time-out, -1 error.
int PollReadable(int fd, Deadline deadline) {
    pollfd fds[2] = {{fd, POLLIN, 0}, {deadline.stopFd, POLLIN, 0}};
    const int count = deadline.stopFd >= 0 ? 2 : 1;
    for (;;) {
        const int ready = ::poll(fds, count, static_cast<int>(deadline.timeout.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) return -1;
        if (ready == 0) return 0;
        if (count == 2 && (fds[1].revents & POLLIN)) return 0;
        return 1;
    }
}

}  // namespace

UniqueFd ListenUnix(const std::string& path, std::string& error) {
    sockaddr_un address;
    if (!FillAddress(path, address)) {
        error = "socket path too long: " + path;
        return {};
    }
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd.Valid() ||
        ::bind(fd.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd.Get(), SOMAXCONN) != 0) {
        error = "cannot listen on " + path + ": " + std::strerror(errno);
        return {};
    }
    return fd;
}

UniqueFd ListenLoopback(int& port, std::string& error) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    socklen_t length = sizeof address;
    if (!fd.Valid() ||
        ::bind(fd.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd.Get(), SOMAXCONN) != 0 ||
        ::getsockname(fd.Get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        error = std::string("cannot listen on the loopback address: ") + std::strerror(errno);
        return {};
    }
    port = ntohs(address.sin_port);
    return fd;
}

UniqueFd ConnectUnix(const std::string& path) {
    sockaddr_un address;
    if (!FillAddress(path, address)) return {};
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd.Valid()) return {};
    int result;
    do {
        result = ::connect(fd.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address);
    } while (result != 0 && errno == EINTR);
    if (result != 0) return {};
    return fd;
}

bool SendAll(int fd, const void* data, std::size_t length) {
    const auto* bytes = static_cast<const char*>(data);
    while (length > 0) {
        const ssize_t sent = ::send(fd, bytes, length, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return false;
        bytes += sent;
        length -= static_cast<std::size_t>(sent);
    }
    return true;
}

bool WaitReadable(int fd, Deadline deadline) { return PollReadable(fd, deadline) == 1; }

bool RecvAll(int fd, void* data, std::size_t length, Deadline deadline) {
    auto* bytes = static_cast<char*>(data);
    while (length > 0) {
        if (!WaitReadable(fd, deadline)) return false;
        const ssize_t got = ::recv(fd, bytes, length, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        bytes += got;
        length -= static_cast<std::size_t>(got);
    }
    return true;
}

bool SleepUnlessStopped(int stopFd, std::chrono::microseconds duration) {
    if (duration.count() <= 0) return true;
    pollfd fd{stopFd, POLLIN, 0};
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(duration);
    const timespec wait{static_cast<time_t>(seconds.count()),
                        static_cast<long>((duration - seconds).count() * 1000)};
    while (::ppoll(&fd, 1, &wait, nullptr) < 0 && errno == EINTR) {
    }
    return !(fd.revents & POLLIN);
}

}  // namespace sim
