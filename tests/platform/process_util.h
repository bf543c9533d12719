#pragma once
// Forked helper processes for the tests that need a second process. The child
// runs a small body and leaves with _exit: no gtest, no static destructors,
// no atexit handlers of the parent run in it.
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace platform_test {

// Forks; the child runs `body` and leaves with _exit(body()). Returns the child's pid.
template <typename Body>
pid_t ForkChild(Body body) {
    std::fflush(nullptr);  // nothing buffered is written twice
    const pid_t pid = ::fork();
    if (pid == 0) {
        int rc = 99;
        rc = body();
        ::_exit(rc);
    }
    return pid;
}

// The child's exit code, or 128 + signal number when a signal ended it.
inline int WaitChild(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

// A one-way signal between processes: one byte through a pipe.
class Signal {
public:
    Signal() {
        if (::pipe(m_fds) != 0) m_fds[0] = m_fds[1] = -1;
    }
    ~Signal() {
        for (int fd : m_fds)
            if (fd >= 0) ::close(fd);
    }
    Signal(const Signal&) = delete;
    Signal& operator=(const Signal&) = delete;

    void Raise() {
        const char c = 1;
        ssize_t ignored = ::write(m_fds[1], &c, 1);
        (void)ignored;
    }
    // True when raised within the time.
    bool WaitFor(int timeoutMs) {
        pollfd p{m_fds[0], POLLIN, 0};
        int rc;
        do {
            rc = ::poll(&p, 1, timeoutMs);
        } while (rc < 0 && errno == EINTR);
        if (rc != 1) return false;
        char c;
        return ::read(m_fds[0], &c, 1) == 1;
    }

private:
    int m_fds[2];
};

}  // namespace platform_test
