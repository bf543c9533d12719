#pragma once
// System-wide named mutexes with the semantics of the home platform's kernel
// mutexes: create-or-open by name, recursive ownership by thread, timed waits,
// and an "abandoned" result when the owner died holding it.
#include <memory>
#include <string>

namespace platform {

enum class WaitResult { Acquired, Abandoned, TimedOut, Failed };

class NamedMutex {
public:
    // Creates the mutex, or opens it when another handle (in any process of
    // this user) already exists. Not initially owned. Returns null on failure;
    // `alreadyExisted`, when given, tells whether it was opened rather than created.
    static std::unique_ptr<NamedMutex> CreateOrOpen(const std::string& name,
                                                    bool* alreadyExisted = nullptr);

    ~NamedMutex();  // closes the handle; the mutex lives on while others hold one
    NamedMutex(const NamedMutex&) = delete;
    NamedMutex& operator=(const NamedMutex&) = delete;

    // Waits at most `timeoutMs` (negative: forever). Recursive for the owning thread.
    WaitResult Wait(int timeoutMs);
    // Releases one level of ownership; false when the calling thread is not the owner.
    bool Release();

    const std::string& Name() const { return m_name; }

    // The POSIX shared-memory object ("/tarnwick.<uid>.mutex.<encoded name>") that
    // holds the mutex of this name for the calling user; for diagnostics and tests.
    static std::string SharedMemoryName(const std::string& name);

private:
    struct Shared;
    NamedMutex(std::string name, int fd, Shared* shared);

    std::string m_name;
    int m_fd = -1;
    Shared* m_shared = nullptr;
};

}  // namespace platform
