#include "jobs/toolpath_library.h"

#include <algorithm>
#include <filesystem>

#include "ui/ui_thread.h"

namespace {

std::optional<std::pair<std::uintmax_t, std::int64_t>> Stamp(const std::string& path) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    if (error) return std::nullopt;
    const auto time = std::filesystem::last_write_time(path, error);
    if (error) return std::nullopt;
    return std::pair{size, std::int64_t(time.time_since_epoch().count())};
}

}  // namespace

CToolpathLibrary::CToolpathLibrary() : m_thread([this] { Work(); }) {}

CToolpathLibrary::~CToolpathLibrary() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void CToolpathLibrary::Want(const std::string& path, const jobs::MachineLimits& limits) {
    {
        std::lock_guard lock(m_mutex);
        Entry& entry = m_entries[path];
        if (entry.reading || (entry.stamp && entry.stamp == Stamp(path))) return;
        entry.reading = true;
        m_queue.push_back({path, limits});
    }
    m_wake.notify_one();
}

void CToolpathLibrary::KeepOnly(const std::vector<std::string>& paths) {
    std::lock_guard lock(m_mutex);
    std::erase_if(m_entries, [&](const auto& entry) {
        return std::find(paths.begin(), paths.end(), entry.first) == paths.end();
    });
    std::erase_if(m_queue, [&](const Job& job) { return !m_entries.contains(job.path); });
}

std::shared_ptr<const jobs::Toolpath> CToolpathLibrary::Find(const std::string& path) const {
    std::lock_guard lock(m_mutex);
    const auto it = m_entries.find(path);
    return it == m_entries.end() ? nullptr : it->second.toolpath;
}

std::shared_ptr<const jobs::PathVertices> CToolpathLibrary::FindVertices(
    const std::string& path) const {
    std::lock_guard lock(m_mutex);
    const auto it = m_entries.find(path);
    return it == m_entries.end() ? nullptr : it->second.vertices;
}

bool CToolpathLibrary::IsReading(const std::string& path) const {
    std::lock_guard lock(m_mutex);
    const auto it = m_entries.find(path);
    return it != m_entries.end() && it->second.reading;
}

bool CToolpathLibrary::IsReadingAny() const {
    std::lock_guard lock(m_mutex);
    return std::any_of(m_entries.begin(), m_entries.end(),
                       [](const auto& entry) { return entry.second.reading; });
}

std::optional<double> CToolpathLibrary::SecondsLeft(const std::vector<std::string>& paths,
                                                    std::uint32_t commandsDone,
                                                    int feedPercent) const {
    if (feedPercent <= 0) return std::nullopt;
    double seconds = 0;
    for (const std::string& path : paths) {
        if (IsReading(path)) return std::nullopt;
        const auto toolpath = Find(path);
        if (!toolpath) continue;  // unreadable: the run skips it
        seconds += toolpath->SecondsLeft(commandsDone);
        commandsDone -= std::min(commandsDone, toolpath->CommandCount());
    }
    return seconds * 100 / feedPercent;
}

void CToolpathLibrary::Work() {
    std::unique_lock lock(m_mutex);
    while (true) {
        m_wake.wait(lock, [this] { return m_stop || !m_queue.empty(); });
        if (m_stop) return;
        const Job job = m_queue.front();
        m_queue.pop_front();
        lock.unlock();
        const auto stamp = Stamp(job.path);
        std::shared_ptr<const jobs::Toolpath> toolpath;
        std::shared_ptr<const jobs::PathVertices> vertices;
        if (auto read = jobs::ReadToolpath(job.path, job.limits, &m_stop)) {
            toolpath = std::make_shared<const jobs::Toolpath>(std::move(*read));
            vertices = std::make_shared<const jobs::PathVertices>(jobs::ThinForScreen(*toolpath));
        }
        lock.lock();
        const auto it = m_entries.find(job.path);
        if (it == m_entries.end()) continue;  // left the run list meanwhile
        it->second = {stamp, std::move(toolpath), std::move(vertices), false};
        const QString path = QString::fromStdString(job.path);
        // Through the hand-off ThreadSanitizer is shown (Qt's own queue it cannot see).
        ui::PostToUiThread([this, path] { emit Read(path); }, this);
    }
}
