#pragma once
// Listens where a machine's job channel would be and keeps every document
// (one connection each) it receives, so a test sees the exact bytes sent.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class JobChannelRecorder {
public:
    // `path` is "<machine folder>/<model>.job".
    explicit JobChannelRecorder(const std::string& path) : m_path(path) {
        m_listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        ::unlink(path.c_str());
        if (::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(m_listener, 4) != 0)
            return;
        m_thread = std::thread([this] { Serve(); });
    }
    ~JobChannelRecorder() {
        ::shutdown(m_listener, SHUT_RDWR);
        ::close(m_listener);
        if (m_thread.joinable()) m_thread.join();
        ::unlink(m_path.c_str());
    }

    // Called with the bytes of each read as they arrive.
    std::function<void(const std::string&)> onData;

    // Documents received completely (their connection closed).
    std::vector<std::string> Documents() {
        std::lock_guard lock(m_mutex);
        return m_documents;
    }
    // Waits until `count` documents are complete; false after `ms` milliseconds.
    bool WaitForDocuments(std::size_t count, int ms = 5000) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::milliseconds(ms),
                                  [&] { return m_documents.size() >= count; });
    }

private:
    void Serve() {
        for (;;) {
            const int client = ::accept(m_listener, nullptr, nullptr);
            if (client < 0) return;
            std::string document;
            char buffer[65536];
            ssize_t n;
            while ((n = ::read(client, buffer, sizeof buffer)) > 0) {
                const std::string bytes(buffer, static_cast<std::size_t>(n));
                if (onData) onData(bytes);
                document += bytes;
            }
            ::close(client);
            std::lock_guard lock(m_mutex);
            m_documents.push_back(std::move(document));
            m_changed.notify_all();
        }
    }

    std::string m_path;
    int m_listener = -1;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::string> m_documents;
};

// What the machine receives of a job's text: each command followed by one
// zero byte; whatever follows the last ';' is not sent.
inline std::string AsSent(const std::string& text) {
    std::string sent;
    std::size_t whole = 0;
    for (const char c : text) {
        sent += c;
        if (c == ';') whole = (sent += '\0').size();
    }
    return sent.substr(0, whole);
}
