// A queue of the system's print spooler (CUPS): one raw job per document.
#include <cups/cups.h>

#include <algorithm>
#include <chrono>
#include <optional>

#include "platform/print_channel.h"

namespace platform {

namespace {

constexpr const char* kJobTitle = "conprn";
// Nothing waits for ever on a spooler that stops answering.
constexpr int kConnectMs = 3000;
constexpr double kWaitSlice = 0.1;  // seconds; the abandon check is asked this often
constexpr std::chrono::seconds kNoProgressLimit{30};

struct HttpClose {
    void operator()(http_t* http) const { httpClose(http); }
};
using Http = std::unique_ptr<http_t, HttpClose>;

Http Connect() {
    return Http(httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
                             kConnectMs, nullptr));
}

std::optional<std::string> FindDestination(http_t* http, const std::string& machine) {
    cups_dest_t* dests = nullptr;
    const int count = cupsGetDests2(http, &dests);
    std::string underscored = machine;
    std::replace(underscored.begin(), underscored.end(), ' ', '_');
    std::optional<std::string> byInfo, byName;
    for (int i = 0; i < count; ++i) {
        const char* info = cupsGetOption("printer-info", dests[i].num_options, dests[i].options);
        if (info && machine == info && !byInfo) byInfo = dests[i].name;
        if (underscored == dests[i].name) byName = dests[i].name;
    }
    cupsFreeDests(count, dests);
    return byInfo ? byInfo : byName;
}

class SpoolerQueue : public PrintChannel {
public:
    explicit SpoolerQueue(std::string destination) : m_destination(std::move(destination)) {}
    ~SpoolerQueue() override {
        if (m_job != 0) Finish(false);
    }

    bool Start() override {
        m_http = Connect();
        if (!m_http) return false;
        httpSetTimeout(m_http.get(), kWaitSlice, &SpoolerQueue::KeepWaiting, this);
        m_job = cupsCreateJob(m_http.get(), m_destination.c_str(), kJobTitle, 0, nullptr);
        if (m_job == 0) return false;
        return cupsStartDocument(m_http.get(), m_destination.c_str(), m_job, kJobTitle,
                                 CUPS_FORMAT_RAW, 1) == HTTP_STATUS_CONTINUE;
    }

    bool Send(const char* bytes, std::size_t length,
              const std::function<bool()>& abandon) override {
        if (!m_http) return false;
        m_abandon = &abandon;
        m_progress = std::chrono::steady_clock::now();
        const bool sent = cupsWriteRequestData(m_http.get(), bytes, length) == HTTP_STATUS_CONTINUE;
        m_abandon = nullptr;
        return sent;
    }

    bool Finish(bool completed) override {
        bool done = false;
        m_progress = std::chrono::steady_clock::now();
        if (m_http && m_job != 0 && completed)
            done = cupsFinishDocument(m_http.get(), m_destination.c_str()) == IPP_STATUS_OK;
        m_http.reset();
        // A document given up must not go on to the machine from the spool.
        if (!done && m_job != 0) {
            if (Http http = Connect()) cupsCancelJob2(http.get(), m_destination.c_str(), m_job, 0);
        }
        m_job = 0;
        return done;
    }

private:
    // Asked while a write or an answer is awaited: 1 to wait on, 0 to give up.
    static int KeepWaiting(http_t*, void* self) {
        const auto* queue = static_cast<SpoolerQueue*>(self);
        if (queue->m_abandon && *queue->m_abandon) return (*queue->m_abandon)() ? 0 : 1;
        return std::chrono::steady_clock::now() - queue->m_progress < kNoProgressLimit;
    }

    std::string m_destination;
    Http m_http;
    int m_job = 0;
    const std::function<bool()>* m_abandon = nullptr;
    std::chrono::steady_clock::time_point m_progress = std::chrono::steady_clock::now();
};

}  // namespace

std::unique_ptr<PrintChannel> OpenSpoolerQueue(const std::string& machineName) {
    if (machineName.empty()) return nullptr;
    const Http http = Connect();
    if (!http) return nullptr;
    const auto destination = FindDestination(http.get(), machineName);
    if (!destination) return nullptr;
    return std::make_unique<SpoolerQueue>(*destination);
}

}  // namespace platform
