#include "service/run_list.h"

#include <algorithm>
#include <memory>

namespace {

// Large reads: a run list may hold files of hundreds of megabytes, and the
// run page counts each one as it is added.
constexpr std::size_t kCountReadSize = 1 << 20;

// The ';' bytes of a block. Counted in fixed runs into a byte-wide sum, a loop
// the compiler turns into vector compares even at -O2; a byte at a time
// (std::count) is several times slower.
std::uint32_t CountSemicolons(const char* bytes, std::size_t length) {
    constexpr std::size_t kRun = 240;  // a multiple of every vector width, and < 256
    std::uint32_t count = 0;
    std::size_t i = 0;
    for (; i + kRun <= length; i += kRun) {
        unsigned char inRun = 0;
        for (std::size_t j = 0; j < kRun; ++j) inRun += bytes[i + j] == ';';
        count += inRun;
    }
    for (; i < length; ++i) count += bytes[i] == ';';
    return count;
}

}  // namespace

std::optional<std::uint32_t> RunList::CountCommands(const std::string& path) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                         &std::fclose);
    if (!file) return std::nullopt;
    // Reads of this size go straight into the buffer, past stdio's own.
    const auto buffer = std::make_unique_for_overwrite<char[]>(kCountReadSize);
    std::uint32_t commands = 0;
    std::size_t n;
    while ((n = std::fread(buffer.get(), 1, kCountReadSize, file.get())) > 0)
        commands += CountSemicolons(buffer.get(), n);
    return commands;
}

bool RunList::Add(const std::string& path) {
    std::lock_guard lock(m_mutex);
    if (m_count >= kMaxFiles) return false;
    m_lastAdded = path;
    m_paths[m_count++] = path;
    m_commandCount += CountCommands(path).value_or(0);
    return true;
}

bool RunList::Delete(int index) {
    std::lock_guard lock(m_mutex);
    if (index < 0 || index >= m_count) return false;
    // Counted again now, as the file is today; never below zero if it grew or
    // shrank since it was added.
    const std::uint32_t commands = CountCommands(m_paths[index]).value_or(0);
    const std::uint32_t total = m_commandCount.load();
    m_commandCount = total >= commands ? total - commands : 0;
    std::move(m_paths.begin() + index + 1, m_paths.begin() + m_count, m_paths.begin() + index);
    m_paths[--m_count].clear();
    return true;
}

int RunList::Count() const {
    std::lock_guard lock(m_mutex);
    return m_count;
}

std::string RunList::Path(int index) const {
    std::lock_guard lock(m_mutex);
    return index >= 0 && index < m_count ? m_paths[index] : std::string();
}

std::string RunList::LastAddedPath() const {
    std::lock_guard lock(m_mutex);
    return m_lastAdded;
}

bool RunList::OpenJobFile() {
    const std::string path = Path(m_currentIndex.load());
    std::FILE* file = path.empty() ? nullptr : std::fopen(path.c_str(), "rb");
    if (!file) return false;
    CloseJobFile();
    m_jobFile = file;
    return true;
}

void RunList::CloseJobFile() {
    if (std::FILE* file = m_jobFile.exchange(nullptr)) std::fclose(file);
}
