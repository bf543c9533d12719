#pragma once
// Stream sockets in the file system, and whole-buffer transfers over them that
// give up when a stop descriptor becomes readable or a time-out passes.
#include <chrono>
#include <cstddef>
#include <string>

#include "host/unique_fd.h"

namespace sim {

// Binds and listens; on failure returns an invalid descriptor and says why.
UniqueFd ListenUnix(const std::string& path, std::string& error);
// Binds a TCP port on the loopback address only, chosen by the system, and
// listens; `port` tells which.
UniqueFd ListenLoopback(int& port, std::string& error);
// Connects; an invalid descriptor when nothing listens there.
UniqueFd ConnectUnix(const std::string& path);

// Never raises SIGPIPE: a peer that has gone away is just a failed send.
bool SendAll(int fd, const void* data, std::size_t length);

struct Deadline {
    int stopFd = -1;                        // readable = give up
    std::chrono::milliseconds timeout{-1};  // negative = no time-out
};
// False on end of stream, error, stop or time-out.
bool RecvAll(int fd, void* data, std::size_t length, Deadline deadline);
// Waits until `fd` is readable; false on stop or time-out.
bool WaitReadable(int fd, Deadline deadline);
// Sleeps, but returns early (false) when the stop descriptor becomes readable.
bool SleepUnlessStopped(int stopFd, std::chrono::microseconds duration);

}  // namespace sim
