#include "service/job_output.h"

#include <cstring>
#include <memory>
#include <string>
#include <system_error>

#include "config/configuration.h"
#include "link/machine_port.h"
#include "link/port_job_channel.h"
#include "platform/print_queue.h"
#include "service/control_ids.h"
#include "service/display.h"
#include "service/fixtures.h"
#include "service/log_file.h"
#include "service/shared_state.h"

namespace {
// Room for one command as most files hold it; a longer command grows the
// buffer rather than being cut or overrunning it.
constexpr std::size_t kLineBufferSize = 262144;
// Large reads, and all whole commands of a read handed to the queue at once:
// a job file may hold hundreds of megabytes of commands of a few bytes each.
constexpr std::size_t kReadSize = 1 << 20;
}  // namespace

void JobOutput::Service(int cycleCode) {
    if (m_feed.valid()) {
        // A Stop ends the stream within one write; until then nothing else
        // of the job may happen.
        if (m_feed.wait_for(std::chrono::seconds(0)) != std::future_status::ready) return;
        // The next file, or the cancel, in the next pass.
        AfterFile(m_feed.get());
        return;
    }
    const int job = m_context.state.jobState.load(std::memory_order_acquire);
    if (job == kJobCancel) {
        // The stop pulses go first (in this pass); raising the tool before
        // them would be cut short by them.
        if (cycleCode != kStopCycle) Cancel();
    } else if (job == kJobRunning && cycleCode == kNoCycle) {
        StartFile();
    }
}

bool JobOutput::Cancelled() const {
    return m_context.state.jobState.load(std::memory_order_relaxed) == kJobCancel ||
           m_stop.load(std::memory_order_relaxed);
}

void JobOutput::StartFile() {
    // Nothing to send (never left so by Run or the next file): on to the next.
    if (!m_context.state.runList.JobFile()) return NextFile();
    if (m_showingNotSent) m_context.display.SetText(Window::Main, IDC_STATUS, "");
    m_showingNotSent = false;
    try {
        m_feed = std::async(std::launch::async, [this] { return Feed(); });
    } catch (const std::system_error&) {
        AfterFile({true, false});  // no thread to stream on: the file is not sent
    }
}

std::unique_ptr<platform::PrintChannel> JobOutput::OpenChannel() {
    if (auto spooler = platform::OpenSpoolerQueue(m_context.port.PortName())) return spooler;
    // No print queue of the machine: the driver library's own way to it.
    auto channel = OpenPortJobChannel(m_context.port);
    m_feedingPort = channel != nullptr;
    return channel;
}

JobOutput::Fed JobOutput::Feed() {
    auto channel = OpenChannel();
    // Data that reaches no one is a failure, never a file skipped in silence.
    if (!channel) return {!Cancelled(), false};
    platform::PrintQueue queue(std::move(channel));
    // A machine whose memory is full holds a write up for as long as it
    // needs; Stop and the thread's end must not wait for it.
    queue.SetAbandonCheck([this] { return Cancelled(); });
    queue.StartDocument(kDocumentName, kDataType);
    queue.StartPage();
    m_context.log.Write("Starting File Output\n");
    Fed fed;
    fed.finished = Stream(queue);
    queue.EndPage();
    fed.delivered = queue.EndDocument();
    return fed;
}

void JobOutput::AfterFile(Fed fed) {
    m_feedingPort = false;
    m_context.state.runList.CloseJobFile();
    if (!fed.finished) return;
    if (!fed.delivered) {
        // The queue refused the document or lost part of it: the later files
        // of the run are not cut without it.
        m_context.log.Write("File Output Failed\n");
        m_context.display.SetText(Window::Main, IDC_STATUS, kNotSentText);
        m_showingNotSent = true;
        m_context.state.filesNotSent.fetch_add(1, std::memory_order_acq_rel);
        LeaveRunning(kJobIdle);
        return;
    }
    NextFile();
}

bool JobOutput::EndAfterStop() {
    WaitForFeed();
    const bool fedMachine = m_feedingPort.load();
    return platform::CancelSpooledDocuments(m_context.port.PortName()) || fedMachine;
}

bool JobOutput::Stream(platform::PrintQueue& queue) {
    std::FILE* file = m_context.state.runList.JobFile();
    const auto read = std::make_unique_for_overwrite<char[]>(kReadSize);
    // The commands as they go out: the unfinished command carried over from
    // the last read, then this read with a zero byte after every ';'.
    std::size_t capacity = kLineBufferSize + 2 * kReadSize;
    auto out = std::make_unique_for_overwrite<char[]>(capacity);
    std::size_t carried = 0;
    // Held here, not reached through the context for every byte: each byte
    // stored may alias anything as far as the compiler knows.
    const std::atomic<int>& jobState = m_context.state.jobState;
    const std::atomic<bool>& stop = m_stop;
    std::size_t n;
    while ((n = std::fread(read.get(), 1, kReadSize, file)) > 0) {
        if (carried + 2 * n > capacity) {
            capacity = 2 * (carried + 2 * n);
            auto grown = std::make_unique_for_overwrite<char[]>(capacity);
            std::memcpy(grown.get(), out.get(), carried);
            out = std::move(grown);
        }
        char* const begin = out.get();
        char* next = begin + carried;
        char* whole = begin;  // end of the last whole command so far
        bool cancelled = false;
        for (const char* in = read.get(), *end = in + n; in != end; ++in) {
            if (jobState.load(std::memory_order_relaxed) == kJobCancel ||
                stop.load(std::memory_order_relaxed)) {
                cancelled = true;
                break;
            }
            *next++ = *in;
            if (*in == ';') {
                // Each command reaches the machine followed by one zero byte.
                *next++ = '\0';
                whole = next;
            }
        }
        // The commands completed before a Stop still go, as they would have
        // one at a time; the one it cut short does not.
        if (whole != begin) queue.Write(begin, std::size_t(whole - begin));
        if (cancelled) return false;
        carried = std::size_t(next - whole);
        std::memmove(begin, whole, carried);
    }
    // Bytes after the last ';' are not a command and are not sent.
    return !Cancelled();
}

void JobOutput::LeaveRunning(int next) {
    int expected = kJobRunning;
    m_context.state.jobState.compare_exchange_strong(expected, next, std::memory_order_acq_rel);
}

void JobOutput::NextFile() {
    RunList& runList = m_context.state.runList;
    const int next = runList.CurrentIndex() + 1;
    runList.SetCurrentIndex(next);
    if (next >= runList.Count()) {
        LeaveRunning(kJobIdle);
        return;
    }
    if (m_context.config.Profile().useDoubleFixture == 1) SwitchToFixture2();
    // A next file that cannot be opened ends the run rather than sending a stale one.
    LeaveRunning(runList.OpenJobFile() ? kJobRunning : kJobIdle);
}

void JobOutput::SwitchToFixture2() {
    SharedState& state = m_context.state;
    MachinePosition origin;
    ActivateFixture(state, m_context.config, 1, origin);
    state.target.x = origin.x;
    state.target.y = origin.y;
    state.target.z = origin.z;
    state.target.a = origin.a;
    m_context.config.SetSelectedFixture(1);
    m_context.port.SetOrigin(origin.x, origin.y, origin.z, origin.a);
    m_context.config.SaveSettings();
}

void JobOutput::Cancel() {
    MachinePosition p;
    if (m_context.port.ReadMachinePosition(p))
        m_context.port.MoveTo(p.x, p.y, m_context.config.Profile().zLimit, p.a, kCancelSpeed);
    m_context.log.Write("File Output Cancelled\n");
    // Stop before the stream began leaves the job file for this step to close.
    m_context.state.runList.CloseJobFile();
    m_context.state.jobState = kJobIdle;
}
