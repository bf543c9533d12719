#pragma once
// The run list: up to 20 job files, the index of the file being sent, the
// open job file and the total of their commands. The run page edits it on the
// UI thread while the command thread advances it, so it has its own lock.
#include <array>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>

class RunList {
public:
    static constexpr int kMaxFiles = 20;
    static constexpr const char* kFullText =
        "The run list is full: it holds 20 files. Delete one to add another.";

    ~RunList() { CloseJobFile(); }

    // The commands in a job file: its ';' characters. Nothing when it cannot be read.
    static std::optional<std::uint32_t> CountCommands(const std::string& path);

    // Appends a file and adds its commands to the count (0 for a file that
    // cannot be read). False, changing nothing, when the list is full.
    bool Add(const std::string& path);
    // Removes entry `index` and subtracts its commands as counted now. False
    // for an index outside the list.
    bool Delete(int index);

    int Count() const;
    std::string Path(int index) const;  // empty outside the list
    std::string LastAddedPath() const;
    std::uint32_t CommandCount() const { return m_commandCount.load(); }

    int CurrentIndex() const { return m_currentIndex.load(); }
    void SetCurrentIndex(int index) { m_currentIndex = index; }

    // The job file: opened (binary) for the file at the current index, read
    // and closed by the command thread.
    bool OpenJobFile();
    std::FILE* JobFile() const { return m_jobFile.load(); }
    void CloseJobFile();

private:
    mutable std::mutex m_mutex;
    std::array<std::string, kMaxFiles> m_paths;
    std::string m_lastAdded;
    int m_count = 0;
    std::atomic<int> m_currentIndex{0};
    std::atomic<std::uint32_t> m_commandCount{0};
    std::atomic<std::FILE*> m_jobFile{nullptr};
};
