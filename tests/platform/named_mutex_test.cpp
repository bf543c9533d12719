#include "platform/named_mutex.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "process_util.h"
#include "test_util.h"

namespace {

using platform::NamedMutex;
using platform::WaitResult;
using platform_test::ForkChild;
using platform_test::Signal;
using platform_test::UniqueName;
using platform_test::WaitChild;

// Names as the port uses them, unique to this test process.
std::string MutexName(const std::string& stem) {
    return "Global\\" + UniqueName("Tarnwick Test " + stem) + "_COM";
}

std::string ShmPath(const std::string& name) {
    return "/dev/shm" + NamedMutex::SharedMemoryName(name);
}

std::int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Runs `f` on another thread and returns its result.
template <typename F>
auto OnOtherThread(F f) {
    decltype(f()) result{};
    std::thread t([&] { result = f(); });
    t.join();
    return result;
}

// ---- create, open, lifetime -------------------------------------------------

TEST(PlatformNamedMutex, CreateThenOpenSaysAlreadyExisted) {
    const std::string name = MutexName("create");
    bool existed = true;
    auto first = NamedMutex::CreateOrOpen(name, &existed);
    ASSERT_TRUE(first);
    EXPECT_FALSE(existed);
    EXPECT_EQ(first->Name(), name);

    auto second = NamedMutex::CreateOrOpen(name, &existed);
    ASSERT_TRUE(second);
    EXPECT_TRUE(existed);

    auto third = NamedMutex::CreateOrOpen(name);  // the flag is optional
    EXPECT_TRUE(third);
}

TEST(PlatformNamedMutex, MutexEndsWithItsLastHandle) {
    const std::string name = MutexName("lifetime");
    bool existed = true;
    {
        auto a = NamedMutex::CreateOrOpen(name, &existed);
        ASSERT_TRUE(a);
        auto b = NamedMutex::CreateOrOpen(name, &existed);
        ASSERT_TRUE(b);
        a.reset();
        EXPECT_TRUE(platform_test::FileExists(ShmPath(name))) << "b still holds it";
    }
    EXPECT_FALSE(platform_test::FileExists(ShmPath(name))) << "the last close removes it";
    auto again = NamedMutex::CreateOrOpen(name, &existed);
    ASSERT_TRUE(again);
    EXPECT_FALSE(existed);
}

TEST(PlatformNamedMutex, ObjectIsPrivateToTheUser) {
    const std::string name = MutexName("private");
    auto m = NamedMutex::CreateOrOpen(name);
    ASSERT_TRUE(m);
    const std::string object = NamedMutex::SharedMemoryName(name);
    EXPECT_NE(object.find("." + std::to_string(::geteuid()) + "."), std::string::npos) << object;
    struct stat st;
    ASSERT_EQ(::stat(ShmPath(name).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(st.st_uid, ::geteuid());
}

TEST(PlatformNamedMutex, NamesAreCaseSensitive) {
    const std::string name = MutexName("case");
    std::string upper = name;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    bool existed = true;
    auto a = NamedMutex::CreateOrOpen(name, &existed);
    ASSERT_TRUE(a);
    auto b = NamedMutex::CreateOrOpen(upper, &existed);
    ASSERT_TRUE(b);
    EXPECT_FALSE(existed);
    ASSERT_EQ(a->Wait(0), WaitResult::Acquired);
    EXPECT_EQ(OnOtherThread([&] {
                  const WaitResult r = b->Wait(0);
                  if (r == WaitResult::Acquired) b->Release();
                  return r;
              }),
              WaitResult::Acquired);
    EXPECT_TRUE(a->Release());
}

TEST(PlatformNamedMutex, NameWithBackslashSpacesAndSlashes) {
    const std::string name = "Global\\Roland MDX-40/" + UniqueName("with space") + "/ x_COM";
    bool existed = true;
    auto a = NamedMutex::CreateOrOpen(name, &existed);
    ASSERT_TRUE(a);
    EXPECT_FALSE(existed);
    const std::string object = NamedMutex::SharedMemoryName(name);
    EXPECT_EQ(object.find('/', 1), std::string::npos) << object;
    EXPECT_NE(object.find("Global\\Roland MDX-40"), std::string::npos) << object;

    auto b = NamedMutex::CreateOrOpen(name, &existed);
    ASSERT_TRUE(b);
    EXPECT_TRUE(existed);
    EXPECT_EQ(a->Wait(100), WaitResult::Acquired);
    EXPECT_EQ(OnOtherThread([&] { return b->Wait(20); }), WaitResult::TimedOut);
    EXPECT_TRUE(a->Release());
}

TEST(PlatformNamedMutex, EncodedSlashDoesNotCollideWithItsEscape) {
    const std::string stem = UniqueName("Global\\enc");
    const std::string names[] = {stem + "/b", stem + "%2Fb", stem + "%252Fb", stem + "~b"};
    std::unique_ptr<NamedMutex> held[4];
    for (int i = 0; i < 4; ++i) {
        bool existed = true;
        held[i] = NamedMutex::CreateOrOpen(names[i], &existed);
        ASSERT_TRUE(held[i]) << names[i];
        EXPECT_FALSE(existed) << names[i];
    }
}

TEST(PlatformNamedMutex, LongNamesWorkAndStayDistinct) {
    const std::string stem = UniqueName("Global\\long");
    const std::string longA = stem + std::string(400, 'x') + "A";
    const std::string longB = stem + std::string(400, 'x') + "B";
    EXPECT_LE(NamedMutex::SharedMemoryName(longA).size(), 255u);
    EXPECT_NE(NamedMutex::SharedMemoryName(longA), NamedMutex::SharedMemoryName(longB));

    bool existed = true;
    auto a = NamedMutex::CreateOrOpen(longA, &existed);
    ASSERT_TRUE(a);
    EXPECT_FALSE(existed);
    auto b = NamedMutex::CreateOrOpen(longB, &existed);
    ASSERT_TRUE(b);
    EXPECT_FALSE(existed);
    auto a2 = NamedMutex::CreateOrOpen(longA, &existed);
    ASSERT_TRUE(a2);
    EXPECT_TRUE(existed);
}

TEST(PlatformNamedMutex, LeftoverObjectOfADeadProcessStartsFresh) {
    // A process that died holding the mutex, with no handle left anywhere: on
    // the home platform the mutex died with it, so a create makes a new one.
    const std::string name = MutexName("leftover");
    const pid_t child = ForkChild([&] {
        auto m = NamedMutex::CreateOrOpen(name);
        if (!m || m->Wait(1000) != WaitResult::Acquired) return 1;
        return 0;  // _exit with it held and the handle never closed
    });
    ASSERT_EQ(WaitChild(child), 0);

    bool existed = true;
    auto m = NamedMutex::CreateOrOpen(name, &existed);
    ASSERT_TRUE(m);
    EXPECT_FALSE(existed);
    EXPECT_EQ(m->Wait(0), WaitResult::Acquired);
    EXPECT_TRUE(m->Release());
}

TEST(PlatformNamedMutex, LeftoversOfDeadProcessesAreSwept) {
    const std::string dead = MutexName("dead");
    const pid_t child = ForkChild([&] {
        auto m = NamedMutex::CreateOrOpen(dead);
        return m ? 0 : 1;  // _exit without closing: the object stays behind
    });
    ASSERT_EQ(WaitChild(child), 0);
    const std::string held = MutexName("held");
    auto keep = NamedMutex::CreateOrOpen(held);
    ASSERT_TRUE(keep);

    // A process that opens another name sweeps the dead one, not the held one.
    const pid_t other =
        ForkChild([&] { return NamedMutex::CreateOrOpen(MutexName("sweeper")) ? 0 : 1; });
    ASSERT_EQ(WaitChild(other), 0);
    EXPECT_FALSE(platform_test::FileExists(ShmPath(dead)));
    EXPECT_TRUE(platform_test::FileExists(ShmPath(held)));
}

TEST(PlatformNamedMutex, GarbageObjectIsReinitialised) {
    const std::string name = MutexName("garbage");
    const std::string object = NamedMutex::SharedMemoryName(name);
    const int fd = ::shm_open(object.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "junk", 4), 4);
    ::close(fd);

    bool existed = true;
    auto m = NamedMutex::CreateOrOpen(name, &existed);
    ASSERT_TRUE(m);
    EXPECT_FALSE(existed);
    EXPECT_EQ(m->Wait(0), WaitResult::Acquired);
    EXPECT_TRUE(m->Release());
}

// ---- ownership within one process ---------------------------------------------

TEST(PlatformNamedMutex, RecursionCountsEachWait) {
    auto m = NamedMutex::CreateOrOpen(MutexName("recursion"));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->Wait(-1), WaitResult::Acquired);
    EXPECT_EQ(m->Wait(0), WaitResult::Acquired);
    EXPECT_EQ(m->Wait(100), WaitResult::Acquired);
    EXPECT_TRUE(m->Release());
    EXPECT_TRUE(m->Release());
    // Still owned once: another thread cannot have it.
    EXPECT_EQ(OnOtherThread([&] { return m->Wait(20); }), WaitResult::TimedOut);
    EXPECT_TRUE(m->Release());
    EXPECT_FALSE(m->Release()) << "one release more than waits";
    EXPECT_EQ(OnOtherThread([&] {
                  const WaitResult r = m->Wait(0);
                  m->Release();
                  return r;
              }),
              WaitResult::Acquired);
}

TEST(PlatformNamedMutex, ReleaseWithoutWaitFails) {
    auto m = NamedMutex::CreateOrOpen(MutexName("unowned"));
    ASSERT_TRUE(m);
    EXPECT_FALSE(m->Release());
}

TEST(PlatformNamedMutex, ReleaseByNonOwnerThreadFails) {
    auto m = NamedMutex::CreateOrOpen(MutexName("nonowner"));
    ASSERT_TRUE(m);
    ASSERT_EQ(m->Wait(-1), WaitResult::Acquired);
    EXPECT_FALSE(OnOtherThread([&] { return m->Release(); }));
    EXPECT_EQ(OnOtherThread([&] { return m->Wait(50); }), WaitResult::TimedOut);
    EXPECT_TRUE(m->Release()) << "still the owner's after the failed release";
    EXPECT_FALSE(m->Release());
}

TEST(PlatformNamedMutex, OwnershipBelongsToTheMutexNotTheHandle) {
    const std::string name = MutexName("handles");
    auto a = NamedMutex::CreateOrOpen(name);
    auto b = NamedMutex::CreateOrOpen(name);
    ASSERT_TRUE(a && b);
    ASSERT_EQ(a->Wait(-1), WaitResult::Acquired);
    EXPECT_EQ(b->Wait(0), WaitResult::Acquired) << "same thread, other handle: recursive";
    EXPECT_EQ(OnOtherThread([&] { return b->Wait(20); }), WaitResult::TimedOut);
    EXPECT_TRUE(b->Release());
    EXPECT_TRUE(a->Release());
    EXPECT_FALSE(b->Release());
}

TEST(PlatformNamedMutex, WaitForeverWaitsForTheOwner) {
    auto m = NamedMutex::CreateOrOpen(MutexName("forever"));
    ASSERT_TRUE(m);
    Signal held;
    std::thread owner([&] {
        if (m->Wait(-1) != WaitResult::Acquired) return;
        held.Raise();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        m->Release();
    });
    ASSERT_TRUE(held.WaitFor(5000));
    const std::int64_t start = NowMs();
    EXPECT_EQ(m->Wait(-1), WaitResult::Acquired);
    EXPECT_GE(NowMs() - start, 50);
    EXPECT_TRUE(m->Release());
    owner.join();
}

TEST(PlatformNamedMutex, ZeroTimeoutDoesNotBlock) {
    auto m = NamedMutex::CreateOrOpen(MutexName("zero"));
    ASSERT_TRUE(m);
    ASSERT_EQ(m->Wait(-1), WaitResult::Acquired);
    const std::int64_t start = NowMs();
    EXPECT_EQ(OnOtherThread([&] { return m->Wait(0); }), WaitResult::TimedOut);
    EXPECT_LT(NowMs() - start, 1000);
    EXPECT_TRUE(m->Release());
}

TEST(PlatformNamedMutex, ThreadEndingWhileHoldingAbandonsIt) {
    auto m = NamedMutex::CreateOrOpen(MutexName("thread-abandon"));
    ASSERT_TRUE(m);
    EXPECT_EQ(OnOtherThread([&] { return m->Wait(-1); }), WaitResult::Acquired);
    EXPECT_EQ(m->Wait(1000), WaitResult::Abandoned);
    EXPECT_EQ(OnOtherThread([&] { return m->Wait(0); }), WaitResult::TimedOut) << "now ours";
    EXPECT_TRUE(m->Release());
    EXPECT_FALSE(m->Release()) << "abandoned gives a count of 1";
    EXPECT_EQ(m->Wait(0), WaitResult::Acquired) << "abandoned only once";
    EXPECT_TRUE(m->Release());
}

TEST(PlatformNamedMutex, HandleClosedByItsOwnerLeavesTheMutexOwned) {
    // The home platform keeps the owner's ownership when it closes a handle,
    // even its last one; the owner may release through a handle opened later.
    const std::string name = MutexName("close-owned");
    auto a = NamedMutex::CreateOrOpen(name);
    ASSERT_TRUE(a);
    ASSERT_EQ(a->Wait(-1), WaitResult::Acquired);
    a.reset();
    bool existed = false;
    auto b = NamedMutex::CreateOrOpen(name, &existed);
    ASSERT_TRUE(b);
    EXPECT_TRUE(existed);
    EXPECT_EQ(OnOtherThread([&] { return b->Wait(20); }), WaitResult::TimedOut);
    EXPECT_TRUE(b->Release());
    EXPECT_EQ(OnOtherThread([&] {
                  const WaitResult r = b->Wait(0);
                  b->Release();
                  return r;
              }),
              WaitResult::Acquired);
    b.reset();
    EXPECT_FALSE(platform_test::FileExists(ShmPath(name))) << "no handle and no owner left";
}

TEST(PlatformNamedMutex, ForkIsSafeWhileAnotherThreadOpensMutexes) {
    // A child forked while another thread opens and closes mutexes can still
    // open one itself.
    std::atomic<bool> stop{false};
    std::thread churn([&] {
        const std::string name = MutexName("churn");
        while (!stop.load()) NamedMutex::CreateOrOpen(name);
    });
    const std::string name = MutexName("fork-safe");
    int failures = 0;
    for (int i = 0; i < 20; ++i) {
        const pid_t child = ForkChild([&] {
            auto m = NamedMutex::CreateOrOpen(name);
            return m && m->Wait(1000) == WaitResult::Acquired && m->Release() ? 0 : 1;
        });
        failures += WaitChild(child) == 0 ? 0 : 1;
    }
    stop = true;
    churn.join();
    EXPECT_EQ(failures, 0);
}

// ---- between processes ------------------------------------------------------------

TEST(PlatformNamedMutex, ChildExitingWhileHoldingAbandonsIt) {
    const std::string name = MutexName("child-abandon");
    auto m = NamedMutex::CreateOrOpen(name);
    ASSERT_TRUE(m);
    const pid_t child = ForkChild([&] {
        bool existed = false;
        auto own = NamedMutex::CreateOrOpen(name, &existed);
        if (!own || !existed) return 1;
        if (own->Wait(1000) != WaitResult::Acquired) return 2;
        return 0;  // ends holding it
    });
    ASSERT_EQ(WaitChild(child), 0);
    EXPECT_EQ(m->Wait(1000), WaitResult::Abandoned);
    // Now it is ours, once.
    EXPECT_EQ(OnOtherThread([&] { return m->Wait(20); }), WaitResult::TimedOut);
    EXPECT_TRUE(m->Release());
    EXPECT_FALSE(m->Release());
    EXPECT_EQ(m->Wait(0), WaitResult::Acquired);
    EXPECT_TRUE(m->Release());
}

TEST(PlatformNamedMutex, InheritedHandleOfAChildCountsAsOwnerToo) {
    // The child uses the handle it inherited through fork: same mapping address.
    auto m = NamedMutex::CreateOrOpen(MutexName("inherited"));
    ASSERT_TRUE(m);
    const pid_t child = ForkChild([&] { return m->Wait(1000) == WaitResult::Acquired ? 0 : 1; });
    ASSERT_EQ(WaitChild(child), 0);
    EXPECT_EQ(m->Wait(1000), WaitResult::Abandoned);
    EXPECT_TRUE(m->Release());
}

TEST(PlatformNamedMutex, TimedWaitExpiresWhileAnotherProcessHolds) {
    const std::string name = MutexName("timeout");
    auto m = NamedMutex::CreateOrOpen(name);
    ASSERT_TRUE(m);
    Signal held;
    Signal letGo;
    const pid_t child = ForkChild([&] {
        auto own = NamedMutex::CreateOrOpen(name);
        if (!own || own->Wait(1000) != WaitResult::Acquired) return 1;
        held.Raise();
        if (!letGo.WaitFor(10000)) return 2;
        return own->Release() ? 0 : 3;
    });
    ASSERT_TRUE(held.WaitFor(5000));
    const std::int64_t start = NowMs();
    EXPECT_EQ(m->Wait(50), WaitResult::TimedOut);
    const std::int64_t waited = NowMs() - start;
    EXPECT_GE(waited, 45);
    EXPECT_LT(waited, 2000);
    letGo.Raise();
    EXPECT_EQ(m->Wait(5000), WaitResult::Acquired) << "released properly: not abandoned";
    EXPECT_TRUE(m->Release());
    EXPECT_EQ(WaitChild(child), 0);
}

TEST(PlatformNamedMutex, ProcessesExcludeEachOther) {
    const std::string name = MutexName("exclusion");
    auto m = NamedMutex::CreateOrOpen(name);
    ASSERT_TRUE(m);
    // A counter both processes see, incremented with a deliberate gap between
    // the read and the write: without exclusion, increments get lost.
    void* mem =
        ::mmap(nullptr, sizeof(int), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(mem, MAP_FAILED);
    volatile int* counter = static_cast<volatile int*>(mem);
    *counter = 0;
    constexpr int kRounds = 200;
    auto work = [&](NamedMutex& mutex) {
        for (int i = 0; i < kRounds; ++i) {
            if (mutex.Wait(10000) != WaitResult::Acquired) return 1;
            const int seen = *counter;
            const timespec gap{0, 50000};  // 50 us
            ::nanosleep(&gap, nullptr);
            *counter = seen + 1;
            if (!mutex.Release()) return 2;
        }
        return 0;
    };
    const pid_t child = ForkChild([&] {
        bool existed = false;
        auto own = NamedMutex::CreateOrOpen(name, &existed);
        if (!own || !existed) return 3;
        return work(*own);
    });
    EXPECT_EQ(work(*m), 0);
    EXPECT_EQ(WaitChild(child), 0);
    EXPECT_EQ(*counter, 2 * kRounds);
    ::munmap(mem, sizeof(int));
}

TEST(PlatformNamedMutex, ThreadsExcludeEachOther) {
    const std::string name = MutexName("threads");
    auto a = NamedMutex::CreateOrOpen(name);
    auto b = NamedMutex::CreateOrOpen(name);
    ASSERT_TRUE(a && b);
    int counter = 0;  // plain: the mutex alone must order the accesses
    constexpr int kRounds = 200;
    std::atomic<int> failures{0};
    auto work = [&](NamedMutex* mutex) {
        for (int i = 0; i < kRounds; ++i) {
            const WaitResult r = (i % 2) ? mutex->Wait(-1) : mutex->Wait(10000);
            if (r != WaitResult::Acquired) {
                ++failures;
                return;
            }
            const int seen = counter;
            std::this_thread::yield();
            counter = seen + 1;
            if (!mutex->Release()) ++failures;
        }
    };
    std::thread t1(work, a.get());
    std::thread t2(work, b.get());
    t1.join();
    t2.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(counter, 2 * kRounds);
}

}  // namespace
