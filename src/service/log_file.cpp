#include "service/log_file.h"

bool LogFile::Open(const std::string& programFolder) {
    std::lock_guard lock(m_mutex);
    if (m_file) return true;
    m_file = std::fopen((programFolder + kFileName).c_str(), "w");
    return m_file != nullptr;
}

void LogFile::Close() {
    std::lock_guard lock(m_mutex);
    if (m_file) std::fclose(m_file);
    m_file = nullptr;
}

void LogFile::Flush() {
    std::lock_guard lock(m_mutex);
    if (m_file) std::fflush(m_file);
}

bool LogFile::IsEnabled() const {
    std::lock_guard lock(m_mutex);
    return m_file != nullptr;
}

void LogFile::Write(const std::string& line) {
    std::lock_guard lock(m_mutex);
    if (m_file) std::fputs(line.c_str(), m_file);
}
