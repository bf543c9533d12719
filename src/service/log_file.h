#pragma once
// The optional log "log.txt" in the program folder: off at every start,
// emptied when switched on, fixed lines without time stamps. The command thread
// writes while the UI thread may close it, so every write happens under the
// lock and never reaches a closed stream.
#include <cstdio>
#include <mutex>
#include <string>

class LogFile {
public:
    ~LogFile() { Close(); }

    // Opens (and empties) "log.txt" in the folder; false when it cannot be created.
    bool Open(const std::string& programFolder);
    void Close();
    // Writes what the stream holds to the file, leaving the log open.
    void Flush();
    bool IsEnabled() const;
    // Writes the line when logging is on; does nothing otherwise.
    void Write(const std::string& line);

    static constexpr const char* kFileName = "log.txt";

private:
    mutable std::mutex m_mutex;
    std::FILE* m_file = nullptr;
};
