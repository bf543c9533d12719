// A queue of the system's print spooler (CUPS): one raw job per document.
#include <cups/cups.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <thread>
#include <vector>

#include "platform/print_channel.h"

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kJobTitle = "conprn";
// Nothing waits for ever on a spooler that stops answering.
constexpr int kConnectMs = 3000;
constexpr double kWaitSlice = 0.1;  // seconds; the give-up check is asked this often
constexpr std::chrono::seconds kNoProgressLimit{15};
// A question to the spooler (its queues, its jobs, a cancel) gets this long.
constexpr std::chrono::seconds kAnswerLimit{5};
constexpr std::chrono::milliseconds kCancelPoll{20};

struct HttpClose {
    void operator()(http_t* http) const { httpClose(http); }
};
using Http = std::unique_ptr<http_t, HttpClose>;

Http Connect() {
    return Http(httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
                             kConnectMs, nullptr));
}

// A connection for a few questions, given up on as a whole past its deadline.
struct Session {
    Session() : deadline(Clock::now() + kAnswerLimit), http(Connect()) {
        if (http) httpSetTimeout(http.get(), kWaitSlice, &Session::KeepWaiting, this);
    }
    Session(const Session&) = delete;  // the connection's callback holds its address
    Session& operator=(const Session&) = delete;
    static int KeepWaiting(http_t*, void* self) {
        return Clock::now() < static_cast<Session*>(self)->deadline;
    }
    Clock::time_point deadline;
    Http http;
};

struct Destination {
    std::string name;
    bool takesJobs = true;  // neither stopped (cupsdisable) nor rejecting (cupsreject)
};

std::optional<Destination> FindDestination(http_t* http, const std::string& machine) {
    cups_dest_t* dests = nullptr;
    const int count = cupsGetDests2(http, &dests);
    std::string underscored = machine;
    std::replace(underscored.begin(), underscored.end(), ' ', '_');
    const cups_dest_t *byInfo = nullptr, *byName = nullptr;
    for (int i = 0; i < count; ++i) {
        const char* info = cupsGetOption("printer-info", dests[i].num_options, dests[i].options);
        if (info && machine == info && !byInfo) byInfo = &dests[i];
        if (underscored == dests[i].name) byName = &dests[i];
    }
    std::optional<Destination> found;
    if (const cups_dest_t* dest = byInfo ? byInfo : byName) {
        const auto option = [dest](const char* name) {
            const char* value = cupsGetOption(name, dest->num_options, dest->options);
            return std::string(value ? value : "");
        };
        found = Destination{dest->name, option("printer-state") != "5" &&
                                            option("printer-is-accepting-jobs") != "false"};
    }
    cupsFreeDests(count, dests);
    return found;
}

// This user's documents that the spooler holds for `destination`, not yet
// done; `feeding` tells whether one is going to the machine right now.
std::vector<int> HeldJobs(http_t* http, const std::string& destination, bool* feeding) {
    cups_job_t* jobs = nullptr;
    const int count = cupsGetJobs2(http, &jobs, destination.c_str(), 1, CUPS_WHICHJOBS_ACTIVE);
    std::vector<int> held;
    for (int i = 0; i < count; ++i) {
        if (std::string(jobs[i].title ? jobs[i].title : "") != kJobTitle) continue;
        held.push_back(jobs[i].id);
        if (feeding && jobs[i].state == IPP_JSTATE_PROCESSING) *feeding = true;
    }
    cupsFreeJobs(count, jobs);
    return held;
}

class SpoolerQueue : public PrintChannel {
public:
    explicit SpoolerQueue(Destination destination) : m_destination(std::move(destination)) {}
    ~SpoolerQueue() override {
        if (m_job != 0) Finish(false);
    }

    bool Start() override {
        // A stopped queue would take the job and hold it: the run would go on
        // as if the machine had it.
        return m_destination.takesJobs;
    }

    bool Send(const char* bytes, std::size_t length,
              const std::function<bool()>& abandon) override {
        m_abandon = &abandon;
        m_progress = Clock::now();
        // The job begins with its first bytes: the spooler refuses an empty one.
        const bool sent = (m_job != 0 || CreateJob()) &&
                          cupsWriteRequestData(m_http.get(), bytes, length) == HTTP_STATUS_CONTINUE;
        m_abandon = nullptr;
        return sent;
    }

    bool Finish(bool completed) override {
        if (m_job == 0) return completed;  // nothing was written: nothing to send
        bool done = false;
        m_progress = Clock::now();
        if (m_http && completed) done = cupsFinishDocument(m_http.get(), Name()) == IPP_STATUS_OK;
        m_http.reset();
        // A document given up must not go on to the machine from the spool.
        if (!done) {
            Session session;
            if (session.http) cupsCancelJob2(session.http.get(), Name(), m_job, 0);
        }
        m_job = 0;
        return done;
    }

private:
    const char* Name() const { return m_destination.name.c_str(); }

    bool CreateJob() {
        m_http = Connect();
        if (!m_http) return false;
        httpSetTimeout(m_http.get(), kWaitSlice, &SpoolerQueue::KeepWaiting, this);
        m_job = cupsCreateJob(m_http.get(), Name(), kJobTitle, 0, nullptr);
        return m_job != 0 && cupsStartDocument(m_http.get(), Name(), m_job, kJobTitle,
                                               CUPS_FORMAT_RAW, 1) == HTTP_STATUS_CONTINUE;
    }

    // Asked while a write or an answer is awaited: 1 to wait on, 0 to give up.
    // The spooler takes data as fast as it writes its spool: unlike a machine
    // with a full memory it never holds a write up for long, so one that does
    // is given up on even while the job is still wanted.
    static int KeepWaiting(http_t*, void* self) {
        const auto* queue = static_cast<SpoolerQueue*>(self);
        if (queue->m_abandon && *queue->m_abandon && (*queue->m_abandon)()) return 0;
        return Clock::now() - queue->m_progress < kNoProgressLimit;
    }

    Destination m_destination;
    Http m_http;
    int m_job = 0;
    const std::function<bool()>* m_abandon = nullptr;
    Clock::time_point m_progress = Clock::now();
};

}  // namespace

std::unique_ptr<PrintChannel> OpenSpoolerQueue(const std::string& machineName) {
    if (machineName.empty()) return nullptr;
    const Session session;
    if (!session.http) return nullptr;
    auto destination = FindDestination(session.http.get(), machineName);
    if (!destination) return nullptr;
    return std::make_unique<SpoolerQueue>(std::move(*destination));
}

bool SpoolerHoldsDocuments(const std::string& machineName) {
    const Session session;
    if (!session.http) return false;
    const auto destination = FindDestination(session.http.get(), machineName);
    return destination && !HeldJobs(session.http.get(), destination->name, nullptr).empty();
}

bool CancelSpooledDocuments(const std::string& machineName) {
    const Session session;
    if (!session.http) return false;
    const auto destination = FindDestination(session.http.get(), machineName);
    if (!destination) return false;
    http_t* http = session.http.get();
    bool feeding = false;
    const std::vector<int> held = HeldJobs(http, destination->name, &feeding);
    for (const int job : held) cupsCancelJob2(http, destination->name.c_str(), job, 0);
    // Until the spooler has ended them, its backend may still be writing.
    while (!held.empty() && Clock::now() < session.deadline &&
           !HeldJobs(http, destination->name, nullptr).empty())
        std::this_thread::sleep_for(kCancelPoll);
    return feeding;
}

}  // namespace platform
