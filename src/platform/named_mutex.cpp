#include "platform/named_mutex.h"

// The home platform's named mutex, rebuilt from a robust, recursive,
// process-shared pthread mutex in POSIX shared memory (see
// shared/reference/named-mutex.md).
//
// Objects, all private to the user (mode 0600, the user id in the name):
//   /tarnwick.<uid>.mutex.<encoded name>  one per mutex name: the Shared block
//   /tarnwick.<uid>.guard                 one per user, never holds data: an
//                                         exclusive flock on it serialises every
//                                         open-or-initialise and every close
// Objects of dead processes that nobody holds open any more are swept away
// whenever a process opens a name it does not hold yet.
//
// Lifetime. A shared-memory object outlives its processes, a kernel mutex does
// not: it dies with its last handle. So every open handle holds a shared flock
// on the mutex object (the lock goes away with the last descriptor, even when
// the process is killed). Under the guard, an exclusive non-blocking flock that
// succeeds proves that no handle is open anywhere: the opener then
// (re)initialises the block, and the last closer removes the object. No other
// process can open the object between that test and the initialisation or the
// removal, because opening needs the guard too; so shm_unlink never removes an
// object that someone maps, and one name never splits into two mutexes.
//
// One mapping per process. All handles of one process to one name share a
// single descriptor and mapping (a process-wide registry counts them): the
// mutex then has one address in the process, which its owner's robust list
// and ThreadSanitizer both rely on, and a second open in the same process
// needs no system call.
//
// Ownership. pthread keeps the owner and the recursion count itself (and fails
// an unlock by a non-owner); the Shared block mirrors owner and depth so that a
// handle can tell, without touching the mutex, whether the calling thread or
// any thread of this process owns it.

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <new>

#if defined(__SANITIZE_THREAD__)
#define TARNWICK_UNDER_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define TARNWICK_UNDER_TSAN 1
#endif
#endif

namespace platform {

struct NamedMutex::Shared {
    std::atomic<std::uint64_t> magic;  // kMagic once initialised
    pthread_mutex_t mutex;
    // Written only by the owning thread while it holds the mutex; read by
    // anyone. Zero when nobody owns it (stale after an owner died).
    std::atomic<std::int32_t> ownerPid;
    std::atomic<std::int32_t> ownerTid;
    std::atomic<std::int32_t> depth;
};

namespace {

// Combined with the size of Shared, so that a block left behind by a build
// with another layout is never taken for ours.
constexpr std::uint64_t kMagicBase = 0x54524e574d545801ULL;

static_assert(std::atomic<std::uint64_t>::is_always_lock_free);
static_assert(std::atomic<std::int32_t>::is_always_lock_free);

// shm_open names are "/name" with no further '/', at most NAME_MAX bytes after
// the '/'. Longer names keep a readable head and end in a hash of the whole name.
constexpr std::size_t kMaxEncodedLength = 200;
constexpr std::size_t kHashedHeadLength = 150;

std::string UserPrefix() { return "/tarnwick." + std::to_string(::geteuid()) + "."; }

std::uint64_t Fnv1a(const std::string& text, std::uint64_t basis) {
    std::uint64_t h = basis;
    for (unsigned char c : text) {
        h ^= c;
        h *= 0x100000001b3ULL;
    }
    // Final mix, so that the two halves differ in all bits.
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdULL;
    h ^= h >> 33;
    return h;
}

// Injective: '%' introduces an escape and '~' appears only before a hash, so
// no two different names give the same object name.
std::string EncodeName(const std::string& name) {
    std::string out;
    out.reserve(name.size());
    for (unsigned char c : name) {
        if (c == '/' || c == '%' || c == '~' || c == '\0') {
            char esc[4];
            std::snprintf(esc, sizeof esc, "%%%02X", c);
            out += esc;
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    if (out.size() <= kMaxEncodedLength) return out;
    char hash[40];
    std::snprintf(hash, sizeof hash, "~%016llx%016llx",
                  static_cast<unsigned long long>(Fnv1a(name, 0xcbf29ce484222325ULL)),
                  static_cast<unsigned long long>(Fnv1a(name, 0x84222325cbf29ce4ULL)));
    return out.substr(0, kHashedHeadLength) + hash;
}

pid_t CurrentTid() { return ::gettid(); }

int FlockRetry(int fd, int operation) {
    int rc;
    do {
        rc = ::flock(fd, operation);
    } while (rc != 0 && errno == EINTR);
    return rc;
}

// An object of ours: a regular shared-memory file owned by the calling user.
// Someone else's object under our name is never used (it could be a trap).
bool OwnedByUs(int fd, struct stat* st) {
    if (::fstat(fd, st) != 0) return false;
    if (!S_ISREG(st->st_mode) || st->st_uid != ::geteuid()) return false;
    return ::fchmod(fd, S_IRUSR | S_IWUSR) == 0;
}

// Holds the user's guard: every open-or-initialise and every close-or-remove
// runs under it, so those steps never interleave between processes or threads
// (each holder opens the guard afresh, so the flock also separates threads).
class GuardLock {
public:
    GuardLock() {
        const std::string name = UserPrefix() + "guard";
        m_fd = ::shm_open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, S_IRUSR | S_IWUSR);
        if (m_fd < 0) return;
        struct stat st;
        if (!OwnedByUs(m_fd, &st) || FlockRetry(m_fd, LOCK_EX) != 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~GuardLock() {
        if (m_fd >= 0) ::close(m_fd);  // closing drops the flock
    }
    GuardLock(const GuardLock&) = delete;
    GuardLock& operator=(const GuardLock&) = delete;
    bool Held() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

// Removes this user's mutex objects that no process holds open: those left by
// processes that were killed or ended without closing their handles. Runs under
// the guard, so nobody can be opening one of them meanwhile; removing such an
// object is just what its last closer would have done. Linux keeps POSIX
// shared memory in /dev/shm; elsewhere nothing is swept.
void SweepLeftovers() {
    DIR* dir = ::opendir("/dev/shm");
    if (dir == nullptr) return;
    const std::string prefix = UserPrefix().substr(1) + "mutex.";
    while (const dirent* entry = ::readdir(dir)) {
        const std::string file = entry->d_name;
        if (file.compare(0, prefix.size(), prefix) != 0) continue;
        const std::string object = "/" + file;
        const int fd = ::shm_open(object.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW, 0);
        if (fd < 0) continue;
        struct stat st;
        if (OwnedByUs(fd, &st) && FlockRetry(fd, LOCK_EX | LOCK_NB) == 0) {
            ::shm_unlink(object.c_str());
        }
        ::close(fd);
    }
    ::closedir(dir);
}

bool InitialiseMutex(pthread_mutex_t* mutex) {
    pthread_mutexattr_t attr;
    if (::pthread_mutexattr_init(&attr) != 0) return false;
    bool ok = ::pthread_mutexattr_setpshared(&attr, PTHREAD_PROCESS_SHARED) == 0 &&
              ::pthread_mutexattr_setrobust(&attr, PTHREAD_MUTEX_ROBUST) == 0 &&
              ::pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE) == 0 &&
              ::pthread_mutex_init(mutex, &attr) == 0;
    ::pthread_mutexattr_destroy(&attr);
    return ok;
}

// The process's open objects by object name. Leaked on purpose: handles may
// be closed by static destructors after this file's statics would be gone.
struct Mapping {
    void* shared;  // NamedMutex::Shared
    int fd;
    int handles;  // open handles of this process; 0: kept only for an owner
};
std::mutex& RegistryMutex() {
    static auto* mutex = new std::mutex;
    return *mutex;
}
std::map<std::string, Mapping>& Registry() {
    static auto* registry = new std::map<std::string, Mapping>;
    return *registry;
}

// A fork while another thread holds the registry lock would leave the child
// with a lock that nobody releases; hold it across fork instead.
[[maybe_unused]] const bool g_forkHandlersInstalled = [] {
    ::pthread_atfork([] { RegistryMutex().lock(); }, [] { RegistryMutex().unlock(); },
                     [] { RegistryMutex().unlock(); });
    return true;
}();

timespec DeadlineAfter(clockid_t clock, int timeoutMs) {
    timespec t;
    ::clock_gettime(clock, &t);
    t.tv_sec += timeoutMs / 1000;
    t.tv_nsec += static_cast<long>(timeoutMs % 1000) * 1000000L;
    if (t.tv_nsec >= 1000000000L) {
        t.tv_sec += 1;
        t.tv_nsec -= 1000000000L;
    }
    return t;
}

// Returns the pthread result: 0, EOWNERDEAD, ETIMEDOUT, or another error.
int LockWithin(pthread_mutex_t* mutex, int timeoutMs) {
    if (timeoutMs < 0) return ::pthread_mutex_lock(mutex);
    if (timeoutMs == 0) {
        const int rc = ::pthread_mutex_trylock(mutex);
        return rc == EBUSY ? ETIMEDOUT : rc;
    }
#ifndef TARNWICK_UNDER_TSAN
    // A monotonic deadline: setting the calendar clock neither shortens nor
    // stretches the wait.
    const timespec deadline = DeadlineAfter(CLOCK_MONOTONIC, timeoutMs);
    return ::pthread_mutex_clocklock(mutex, CLOCK_MONOTONIC, &deadline);
#else
    // ThreadSanitizer does not intercept pthread_mutex_clocklock (nor the
    // EOWNERDEAD result of timedlock), so it would lose track of the owner and
    // report false races. Under it alone, poll trylock, which it fully follows.
    const timespec deadline = DeadlineAfter(CLOCK_MONOTONIC, timeoutMs);
    for (;;) {
        const int rc = ::pthread_mutex_trylock(mutex);
        if (rc != EBUSY) return rc;
        timespec now;
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        if (now.tv_sec > deadline.tv_sec ||
            (now.tv_sec == deadline.tv_sec && now.tv_nsec >= deadline.tv_nsec)) {
            return ETIMEDOUT;
        }
        const timespec pause{0, 500000};  // 0.5 ms
        ::nanosleep(&pause, nullptr);
    }
#endif
}

}  // namespace

std::string NamedMutex::SharedMemoryName(const std::string& name) {
    return UserPrefix() + "mutex." + EncodeName(name);
}

NamedMutex::NamedMutex(std::string name, int fd, Shared* shared)
    : m_name(std::move(name)), m_fd(fd), m_shared(shared) {}

std::unique_ptr<NamedMutex> NamedMutex::CreateOrOpen(const std::string& name,
                                                     bool* alreadyExisted) {
    constexpr std::uint64_t kMagic = kMagicBase ^ sizeof(Shared);
    const std::string objectName = SharedMemoryName(name);
    std::lock_guard<std::mutex> registryLock(RegistryMutex());
    auto& registry = Registry();
    if (auto it = registry.find(objectName); it != registry.end()) {
        // Open in this process already (or kept for its owner): it exists.
        ++it->second.handles;
        if (alreadyExisted != nullptr) *alreadyExisted = true;
        return std::unique_ptr<NamedMutex>(
            new NamedMutex(name, it->second.fd, static_cast<Shared*>(it->second.shared)));
    }

    GuardLock guard;
    if (!guard.Held()) return nullptr;
    SweepLeftovers();

    int fd = -1;
    // Two rounds: an object removed by hand between the two calls is simply
    // created in the second.
    for (int round = 0; round < 2 && fd < 0; ++round) {
        fd = ::shm_open(objectName.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC,
                        S_IRUSR | S_IWUSR);
        if (fd >= 0 || errno != EEXIST) break;
        fd = ::shm_open(objectName.c_str(), O_RDWR | O_CLOEXEC, 0);
        if (fd < 0 && errno != ENOENT) break;
    }
    if (fd < 0) return nullptr;

    auto fail = [&]() -> std::unique_ptr<NamedMutex> {
        ::close(fd);
        return nullptr;
    };
    struct stat st;
    if (!OwnedByUs(fd, &st)) return fail();

    // Nobody holds a handle when the exclusive lock is free: then the block is
    // ours to (re)initialise, whatever a dead process left in it. A fresh
    // descriptor is used for the test, so even a handle inherited through fork
    // counts as open.
    bool initialise;
    if (FlockRetry(fd, LOCK_EX | LOCK_NB) == 0) {
        initialise = true;
    } else if (errno == EWOULDBLOCK) {
        initialise = false;
    } else {
        return fail();
    }

    constexpr auto kSize = static_cast<off_t>(sizeof(Shared));
    if (initialise) {
        if (st.st_size != kSize && ::ftruncate(fd, kSize) != 0) return fail();
    } else if (st.st_size < kSize) {
        return fail();
    }
    void* mapped = ::mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (mapped == MAP_FAILED) return fail();

    Shared* shared = nullptr;
    if (initialise) {
        std::memset(mapped, 0, sizeof(Shared));
        shared = new (mapped) Shared();
        if (!InitialiseMutex(&shared->mutex)) {
            ::munmap(mapped, sizeof(Shared));
            return fail();
        }
        shared->magic.store(kMagic, std::memory_order_release);
    } else {
        shared = static_cast<Shared*>(mapped);
        if (shared->magic.load(std::memory_order_acquire) != kMagic) {
            ::munmap(mapped, sizeof(Shared));
            return fail();
        }
    }

    // Downgrade (or take) the shared lifetime lock. It cannot block: an
    // exclusive lock is only ever held under the guard, which we hold.
    if (FlockRetry(fd, LOCK_SH) != 0) {
        ::munmap(mapped, sizeof(Shared));
        return fail();
    }
    registry[objectName] = Mapping{shared, fd, 1};
    if (alreadyExisted != nullptr) *alreadyExisted = !initialise;
    return std::unique_ptr<NamedMutex>(new NamedMutex(name, fd, shared));
}

NamedMutex::~NamedMutex() {
    if (m_shared == nullptr) return;
    const std::string objectName = SharedMemoryName(m_name);
    std::lock_guard<std::mutex> registryLock(RegistryMutex());
    auto& registry = Registry();
    const auto it = registry.find(objectName);
    if (it == registry.end() || --it->second.handles > 0) return;  // others of ours still open

    if (m_shared->ownerPid.load(std::memory_order_acquire) == ::getpid()) {
        // A thread of this process still owns the mutex, and the mapping's
        // address is on that thread's robust list. Unmapping would leave the
        // kernel unable to mark the mutex abandoned when that thread ends, and
        // every other waiter would hang for good. So the mapping and its
        // lifetime lock stay (the registry keeps them, with no handle, for a
        // later open): the mutex lives on while its owner does, and its
        // owner may still release it through another handle.
        return;
    }
    struct stat ours;
    const bool haveIdentity = ::fstat(m_fd, &ours) == 0;

    GuardLock guard;
    ::munmap(m_shared, sizeof(Shared));
    ::close(m_fd);  // drops this process's shared lock
    registry.erase(it);
    m_shared = nullptr;
    m_fd = -1;
    if (!guard.Held() || !haveIdentity) return;  // then the object just stays; harmless

    // The last handle anywhere removes the object, as the kernel object dies
    // with its last handle. Tested on a fresh descriptor: the exclusive lock is
    // granted only when no descriptor of any process (forked children with an
    // inherited one included) holds the shared lock.
    const int probe = ::shm_open(objectName.c_str(), O_RDWR | O_CLOEXEC, 0);
    if (probe < 0) return;
    struct stat now;
    if (::fstat(probe, &now) == 0 && now.st_dev == ours.st_dev && now.st_ino == ours.st_ino &&
        FlockRetry(probe, LOCK_EX | LOCK_NB) == 0) {
        ::shm_unlink(objectName.c_str());
    }
    ::close(probe);
}

WaitResult NamedMutex::Wait(int timeoutMs) {
    if (m_shared == nullptr) return WaitResult::Failed;
    const int rc = LockWithin(&m_shared->mutex, timeoutMs);
    if (rc == ETIMEDOUT) return WaitResult::TimedOut;
    if (rc != 0 && rc != EOWNERDEAD) return WaitResult::Failed;

    bool abandoned = false;
    if (rc == EOWNERDEAD) {
        // The owner died holding it. Mark it consistent before anything else:
        // an unlock without this would make the mutex unrecoverable for good.
        if (::pthread_mutex_consistent(&m_shared->mutex) != 0) {
            ::pthread_mutex_unlock(&m_shared->mutex);
            return WaitResult::Failed;
        }
        abandoned = true;
        // pthread restarts the recursion count at 1 for the new owner.
        m_shared->depth.store(0, std::memory_order_relaxed);
    }
    m_shared->depth.fetch_add(1, std::memory_order_relaxed);
    m_shared->ownerTid.store(CurrentTid(), std::memory_order_relaxed);
    m_shared->ownerPid.store(::getpid(), std::memory_order_release);
    return abandoned ? WaitResult::Abandoned : WaitResult::Acquired;
}

bool NamedMutex::Release() {
    if (m_shared == nullptr) return false;
    const pid_t pid = ::getpid();
    const pid_t tid = CurrentTid();
    // Only the owner ever writes its own ids there, so a mismatch is a
    // non-owner; pthread checks ownership once more in the unlock below.
    if (m_shared->ownerPid.load(std::memory_order_acquire) != pid ||
        m_shared->ownerTid.load(std::memory_order_relaxed) != tid) {
        return false;
    }
    const std::int32_t depth = m_shared->depth.load(std::memory_order_relaxed);
    if (depth <= 0) return false;
    // Clear the owner before the last unlock: afterwards another thread may
    // already own it and have written its own ids.
    m_shared->depth.store(depth - 1, std::memory_order_relaxed);
    if (depth == 1) {
        m_shared->ownerTid.store(0, std::memory_order_relaxed);
        m_shared->ownerPid.store(0, std::memory_order_release);
    }
    if (::pthread_mutex_unlock(&m_shared->mutex) != 0) {
        m_shared->depth.store(depth, std::memory_order_relaxed);
        m_shared->ownerTid.store(tid, std::memory_order_relaxed);
        m_shared->ownerPid.store(pid, std::memory_order_release);
        return false;
    }
    return true;
}

}  // namespace platform
