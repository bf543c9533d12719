#include "service/job_output.h"

#include <array>
#include <string>

#include "config/configuration.h"
#include "link/machine_port.h"
#include "platform/print_queue.h"
#include "service/fixtures.h"
#include "service/log_file.h"
#include "service/shared_state.h"

namespace {
// Room for one command as most files hold it; a longer command grows the
// buffer rather than being cut or overrunning it.
constexpr std::size_t kLineBufferSize = 262144;
constexpr std::size_t kReadSize = 64 * 1024;
}  // namespace

void JobOutput::Service(int cycleCode) {
    const int job = m_context.state.jobState.load(std::memory_order_acquire);
    if (job == kJobCancel) {
        // The stop pulses go first (in this pass); raising the tool before
        // them would be cut short by them.
        if (cycleCode != kStopCycle) Cancel();
    } else if (job == kJobRunning && cycleCode == kNoCycle) {
        StreamCurrentFile();
    }
}

bool JobOutput::Cancelled() const {
    return m_context.state.jobState.load(std::memory_order_relaxed) == kJobCancel ||
           m_stop.load(std::memory_order_relaxed);
}

void JobOutput::StreamCurrentFile() {
    bool finished = true;
    // A queue that cannot be opened skips the file: closed and counted as done.
    if (auto queue = platform::PrintQueue::Open(m_context.port.PortName())) {
        queue->StartDocument(kDocumentName, kDataType);
        queue->StartPage();
        m_context.log.Write("Starting File Output\n");
        finished = Stream(*queue);
        queue->EndPage();
        queue->EndDocument();
    }
    m_context.state.runList.CloseJobFile();
    if (finished) NextFile();
}

bool JobOutput::Stream(platform::PrintQueue& queue) {
    std::FILE* file = m_context.state.runList.JobFile();
    if (!file) return !Cancelled();
    std::string chunk;
    chunk.reserve(kLineBufferSize);
    std::array<char, kReadSize> buffer;
    std::size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), file)) > 0) {
        for (std::size_t i = 0; i < n; ++i) {
            if (Cancelled()) return false;
            chunk.push_back(buffer[i]);
            if (buffer[i] == ';') {
                // Each command reaches the machine followed by one zero byte.
                chunk.push_back('\0');
                queue.Write(chunk.data(), chunk.size());
                chunk.clear();
            }
        }
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
