// Crash safety and concurrent writers of profile files: writers killed with
// SIGKILL at random moments, readers racing writers, and two processes (or two
// threads) writing different keys of one file at once.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/profile_file.h"
#include "process_util.h"
#include "test_util.h"

namespace {

using platform::ReadProfileString;
using platform::WriteProfileString;
using platform_test::ForkChild;
using platform_test::ReadBytes;
using platform_test::TempDir;
using platform_test::WaitChild;

constexpr int kKeys = 20;
const char* const kSection = "CRASH";

std::string KeyName(int k) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "K%02d", k);
    return buf;
}

// A value whose every byte depends on generation and key, and whose length
// varies, so that a torn or mixed value can never pass for a whole one.
std::string Value(int generation, int key) {
    std::string v = "g" + std::to_string(generation) + "k" + std::to_string(key) + ":";
    const int length = 20 + (generation * 7 + key * 13) % 60;
    for (int i = 0; i < length; ++i)
        v.push_back(static_cast<char>('a' + (generation + key + i) % 26));
    return v + ":end";
}

// The generation of a whole value of this key; -1 for anything else.
int GenerationOf(const std::string& value, int key) {
    if (value.size() < 2 || value[0] != 'g') return -1;
    const int generation = std::atoi(value.c_str() + 1);
    return value == Value(generation, key) ? generation : -1;
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The whole file: the section line, then each key once, whole, every line CRLF.
// Returns the generation of each key, or an empty vector with a message.
std::vector<int> ParseWhole(const std::string& bytes, std::string* why) {
    std::vector<int> generations;
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const std::size_t eol = bytes.find("\r\n", pos);
        if (eol == std::string::npos) {
            *why = "unended last line";
            return {};
        }
        lines.push_back(bytes.substr(pos, eol - pos));
        pos = eol + 2;
    }
    if (lines.size() != kKeys + 1 || lines[0] != "[CRASH]") {
        *why = "wrong shape, " + std::to_string(lines.size()) + " lines";
        return {};
    }
    for (int k = 0; k < kKeys; ++k) {
        const std::string prefix = KeyName(k) + "=";
        const std::string& line = lines[static_cast<std::size_t>(k) + 1];
        if (line.compare(0, prefix.size(), prefix) != 0) {
            *why = "line " + std::to_string(k + 1) + " is not " + prefix;
            return {};
        }
        const int g = GenerationOf(line.substr(prefix.size()), k);
        if (g < 0) {
            *why = "torn value: " + line;
            return {};
        }
        generations.push_back(g);
    }
    return generations;
}

// One byte per finished write, from a writer to the test; the writer never
// blocks on it, so a kill can only land inside a write or between two.
class WriteTicks {
public:
    WriteTicks() {
        if (::pipe(m_fds) == 0) ::fcntl(m_fds[1], F_SETFL, O_NONBLOCK);
    }
    ~WriteTicks() {
        for (int fd : m_fds) ::close(fd);
    }
    void Tick() {
        const char c = 1;
        ssize_t ignored = ::write(m_fds[1], &c, 1);
        (void)ignored;
    }
    // Waits for the next tick; false after ten seconds without one.
    bool Wait() {
        pollfd p{m_fds[0], POLLIN, 0};
        if (::poll(&p, 1, 10000) != 1) return false;
        char c;
        return ::read(m_fds[0], &c, 1) == 1;
    }

private:
    int m_fds[2] = {-1, -1};
};

TEST(PlatformProfileCrash, KilledWriterLeavesOldOrNewFileWhole) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string path = dir.File("Tarnwick.cfg");
    for (int k = 0; k < kKeys; ++k)
        ASSERT_TRUE(WriteProfileString(kSection, KeyName(k), Value(0, k), path));
    std::vector<int> current(kKeys, 0);

    std::mt19937 random(20240607u);
    std::uniform_real_distribution<double> fraction(0.0, 1.0);
    const auto start = std::chrono::steady_clock::now();
    int trials = 0;
    int stale = 0;
    for (; trials < 60 && SecondsSince(start) < 10.0; ++trials) {
        // Each writer writes generations of its own, so that a key shows who wrote it.
        const int base = (trials + 1) * 100000;
        WriteTicks ticks;
        const pid_t child = ForkChild([&] {
            for (int g = base;; ++g) {
                for (int k = 0; k < kKeys; ++k) {
                    WriteProfileString(kSection, KeyName(k), Value(g, k), path);
                    ticks.Tick();
                }
            }
            return 0;
        });
        ASSERT_GT(child, 0);
        // Two whole writes give the length of one on this disk, however slow;
        // the kill then lands at a random point of a later write.
        ASSERT_TRUE(ticks.Wait());
        const auto first = std::chrono::steady_clock::now();
        ASSERT_TRUE(ticks.Wait());
        const auto oneWrite = std::chrono::steady_clock::now() - first;
        std::this_thread::sleep_for(
            std::chrono::duration_cast<std::chrono::microseconds>(oneWrite * fraction(random)));
        ::kill(child, SIGKILL);
        ASSERT_EQ(WaitChild(child), 128 + SIGKILL);

        std::string why;
        const std::vector<int> now = ParseWhole(ReadBytes(path), &why);
        ASSERT_EQ(now.size(), static_cast<std::size_t>(kKeys)) << "trial " << trials << ": " << why;
        for (int k = 0; k < kKeys; ++k) {
            // Old (from before this writer) or new (this writer's own).
            const bool old = now[k] == current[k];
            const bool fresh = now[k] >= base && now[k] < base + 100000;
            ASSERT_TRUE(old || fresh)
                << "trial " << trials << " key " << k << " generation " << now[k];
            // The reading function agrees with the bytes.
            ASSERT_EQ(ReadProfileString(kSection, KeyName(k), "", path, 1000), Value(now[k], k));
            current[k] = now[k];
        }
        // The first two keys were written whole before the kill.
        ASSERT_GE(now[0], base) << "trial " << trials;
        ASSERT_GE(now[1], base) << "trial " << trials;
        // Besides the file, at most the one stale temporary of a killed writer.
        const std::vector<std::string> names = dir.List();
        ASSERT_LE(names.size(), 2u);
        stale += names.size() == 2 ? 1 : 0;
        for (const std::string& n : names) {
            ASSERT_TRUE(n == "Tarnwick.cfg" || n == ".Tarnwick.cfg.tmp") << n;
        }
    }
    EXPECT_GE(trials, 10) << "too slow to say much";
    std::printf("[          ] %d trials in %.2f s, %d left a stale temporary\n", trials,
                SecondsSince(start), stale);
}

TEST(PlatformProfileCrash, ReaderNeverSeesAPartialFile) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string path = dir.File("Tarnwick.cfg");
    for (int k = 0; k < kKeys; ++k)
        ASSERT_TRUE(WriteProfileString(kSection, KeyName(k), Value(0, k), path));
    const pid_t child = ForkChild([&] {
        for (int g = 1;; ++g) {
            for (int k = 0; k < kKeys; ++k)
                WriteProfileString(kSection, KeyName(k), Value(g, k), path);
        }
        return 0;
    });
    ASSERT_GT(child, 0);
    const auto start = std::chrono::steady_clock::now();
    int reads = 0;
    int bad = 0;
    std::string firstBad;
    while (SecondsSince(start) < 0.5) {
        std::string why;
        if (ParseWhole(ReadBytes(path), &why).size() != static_cast<std::size_t>(kKeys)) {
            if (bad++ == 0) firstBad = why;
        }
        // The last key sits at the end of the file: a cut file would lose it.
        if (GenerationOf(ReadProfileString(kSection, KeyName(kKeys - 1), "missing", path, 1000),
                         kKeys - 1) < 0) {
            if (bad++ == 0) firstBad = "last key not whole";
        }
        reads += 2;
    }
    ::kill(child, SIGKILL);
    WaitChild(child);
    EXPECT_EQ(bad, 0) << "of " << reads << " reads; first: " << firstBad;
    EXPECT_GT(reads, 10);
}

// Each writer sets `count` keys of its own, all in one section.
void WriteOwnKeys(const std::string& path, char who, int count) {
    for (int i = 0; i < count; ++i) {
        char key[16];
        std::snprintf(key, sizeof key, "%c%03d", who, i);
        WriteProfileString("SHARED", key, std::string(1, who) + "-value-" + std::to_string(i),
                           path);
    }
}

void ExpectAllKeys(const std::string& path, const std::string& writers, int count) {
    for (char who : writers) {
        for (int i = 0; i < count; ++i) {
            char key[16];
            std::snprintf(key, sizeof key, "%c%03d", who, i);
            EXPECT_EQ(ReadProfileString("SHARED", key, "<lost>", path),
                      std::string(1, who) + "-value-" + std::to_string(i))
                << key;
        }
    }
    // And nothing twice: one header plus one line per key.
    const std::string bytes = ReadBytes(path);
    std::size_t lines = 0;
    for (std::size_t p = bytes.find("\r\n"); p != std::string::npos; p = bytes.find("\r\n", p + 2))
        ++lines;
    EXPECT_EQ(lines, writers.size() * static_cast<std::size_t>(count) + 1);
}

TEST(PlatformProfileConcurrency, TwoProcessesLoseNoKeys) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string path = dir.File("Tarnwick.cfg");
    constexpr int kCount = 100;
    const pid_t a = ForkChild([&] {
        WriteOwnKeys(path, 'A', kCount);
        return 0;
    });
    const pid_t b = ForkChild([&] {
        WriteOwnKeys(path, 'B', kCount);
        return 0;
    });
    ASSERT_EQ(WaitChild(a), 0);
    ASSERT_EQ(WaitChild(b), 0);
    ExpectAllKeys(path, "AB", kCount);
    EXPECT_EQ(dir.List(), std::vector<std::string>{"Tarnwick.cfg"});
}

TEST(PlatformProfileConcurrency, TwoThreadsLoseNoKeys) {
    // The configuration is written from the UI thread and the command thread.
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string path = dir.File("Tarnwick.cfg");
    constexpr int kCount = 50;
    std::thread a(WriteOwnKeys, path, 'C', kCount);
    std::thread b(WriteOwnKeys, path, 'D', kCount);
    a.join();
    b.join();
    ExpectAllKeys(path, "CD", kCount);
}

}  // namespace
