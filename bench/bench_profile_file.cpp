// Reading one key and writing one key of a configuration file of about 60
// keys, laid out like Tarnwick.cfg. Every call reads the file afresh; every
// write re-reads it under the folder lock, writes a temporary, fsyncs it,
// renames it over and fsyncs the folder, so the write figure is mostly the
// file system's fsync. Set TMPDIR to measure another file system.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/profile_file.h"

namespace {

class ConfigFile {
public:
    ConfigFile() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/tarnwick-bench-XXXXXX";
        std::vector<char> buf(pattern.begin(), pattern.end());
        buf.push_back('\0');
        if (::mkdtemp(buf.data()) == nullptr) std::abort();
        m_dir = buf.data();
        m_path = m_dir + "/Tarnwick.cfg";
        Fill();
    }
    ~ConfigFile() {
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
    const std::string& path() const { return m_path; }
    int keys() const { return m_keys; }

private:
    void Put(const std::string& section, const std::string& key, const std::string& value) {
        platform::WriteProfileString(section, key, value, m_path);
        ++m_keys;
    }
    void Fill() {
        const char* profile[] = {"MACHINETYPE",
                                 "XLIMIT",
                                 "YLIMIT",
                                 "ZLIMIT",
                                 "XVIEWPOS",
                                 "YVIEWPOS",
                                 "TOOLSENSORLOCX",
                                 "TOOLSENSORLOCY",
                                 "TOOLSENSORLOCZ",
                                 "ROTAXISLOCX",
                                 "ROTAXISLOCY",
                                 "TOOLBARHT1",
                                 "TOOLBARHT2",
                                 "AUX_OUTPUT_ON_SPINDLE",
                                 "USE_DOUBLE_FIXTURE",
                                 "CURRENTTOOL"};
        int v = 1000;
        for (const char* key : profile) Put("MACHINEINFO", key, std::to_string(v += 1234));
        Put("TSO", "VALUE", "12.345678");
        Put("TSO", "ZA", "-2345");
        for (int i = 1; i <= 4; ++i) {
            const std::string s = "TOOLPOSITION" + std::to_string(i);
            Put(s, "X", std::to_string(i * 1500));
            Put(s, "Y", std::to_string(i * 2500));
        }
        for (int i = 1; i <= 4; ++i) {
            const std::string s = "WORKOFFSET" + std::to_string(i);
            for (const char* axis : {"X", "Y", "Z", "A"}) Put(s, axis, std::to_string(i) + ".25");
        }
        for (const char* key : {"USEFIXTURE", "SELECTED", "DOUBLE", "SEEDED"})
            Put("WORKOFFSET", key, "0");
        // Fill up to about 60 keys.
        for (int i = 0; m_keys < 60; ++i)
            Put("EXTRA", "KEY" + std::to_string(i), "value " + std::to_string(i));
    }
    std::string m_dir;
    std::string m_path;
    int m_keys = 0;
};

void BM_ReadKey(benchmark::State& state) {
    ConfigFile file;
    // A key of a section near the end: the whole file is scanned.
    for (auto _ : state) {
        std::string v = platform::ReadProfileString("WORKOFFSET4", "A", "0", file.path());
        benchmark::DoNotOptimize(v);
    }
    state.counters["keys"] = file.keys();
}
BENCHMARK(BM_ReadKey);

void BM_ReadMissingKey(benchmark::State& state) {
    ConfigFile file;
    for (auto _ : state) {
        std::string v = platform::ReadProfileString("NOSECTION", "NOKEY", "dflt", file.path());
        benchmark::DoNotOptimize(v);
    }
}
BENCHMARK(BM_ReadMissingKey);

void BM_ReadInt(benchmark::State& state) {
    ConfigFile file;
    for (auto _ : state)
        benchmark::DoNotOptimize(platform::ReadProfileInt("MACHINEINFO", "XLIMIT", 0, file.path()));
}
BENCHMARK(BM_ReadInt);

void BM_WriteKey(benchmark::State& state) {
    ConfigFile file;
    int i = 0;
    // A changed value each time, else the write has nothing to replace.
    for (auto _ : state) {
        const bool ok = platform::WriteProfileString("WORKOFFSET2", "Z",
                                                     std::to_string(++i) + ".50", file.path());
        if (!ok) state.SkipWithError("write failed");
    }
    state.counters["keys"] = file.keys();
}
BENCHMARK(BM_WriteKey)->Unit(benchmark::kMicrosecond);

void BM_WriteSameValue(benchmark::State& state) {
    ConfigFile file;
    // The value it already has: read under the lock, nothing replaced.
    for (auto _ : state) platform::WriteProfileString("WORKOFFSET2", "Z", "2.25", file.path());
}
BENCHMARK(BM_WriteSameValue)->Unit(benchmark::kMicrosecond);

}  // namespace
