#pragma once
// The toolpaths of the run list's files, read on a thread of their own so the
// window never waits for a large file. A file is read once while it stays
// unchanged; files that leave the run list are forgotten.
#include <QObject>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "jobs/path_vertices.h"
#include "jobs/toolpath.h"

class CToolpathLibrary : public QObject {
    Q_OBJECT
public:
    CToolpathLibrary();
    ~CToolpathLibrary() override;

    // Reads the file unless its toolpath is known and the file unchanged since.
    void Want(const std::string& path, const jobs::MachineLimits& limits);
    // Forgets every file not in `paths`.
    void KeepOnly(const std::vector<std::string>& paths);
    // The file's toolpath once read; null while it is read or when it cannot be.
    std::shared_ptr<const jobs::Toolpath> Find(const std::string& path) const;
    // The same toolpath thinned for the screen.
    std::shared_ptr<const jobs::PathVertices> FindVertices(const std::string& path) const;
    bool IsReading(const std::string& path) const;
    bool IsReadingAny() const;

    // Machine time left for a run of `paths` (one job to the machine, whose
    // commands done count on across its files) at `feedPercent`; nothing while
    // one of them is still being read, or at a feed of 0.
    std::optional<double> SecondsLeft(const std::vector<std::string>& paths,
                                      std::uint32_t commandsDone, int feedPercent) const;

signals:
    // A file has been read (or found unreadable): on the thread that owns the library.
    void Read(const QString& path);

private:
    struct Entry {
        std::optional<std::pair<std::uintmax_t, std::int64_t>> stamp;  // size, modification
        std::shared_ptr<const jobs::Toolpath> toolpath;
        std::shared_ptr<const jobs::PathVertices> vertices;
        bool reading = false;
    };
    struct Job {
        std::string path;
        jobs::MachineLimits limits;
    };
    void Work();

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::map<std::string, Entry> m_entries;
    std::deque<Job> m_queue;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};
