#include "service/command_thread.h"

#include <locale.h>

#include <chrono>
#include <cmath>
#include <ctime>

#include "config/configuration.h"
#include "link/machine_port.h"
#include "platform/beep.h"
#include "platform/thread_priority.h"
#include "service/control_ids.h"
#include "service/display.h"
#include "service/fixtures.h"
#include "service/log_file.h"
#include "service/machine_status.h"
#include "service/shared_state.h"
#include "service/text_format.h"

namespace {

constexpr int kPollPauseMs = 30;
constexpr int kLoopPauseMs = 1;
constexpr int kContactBeepHz = 420;
constexpr int kContactBeepMs = 50;
constexpr int kSpindleShownMin = 6000;
constexpr int kSpindleShownMax = 20000;

constexpr int kPositionDisplays[4] = {IDC_POS_X, IDC_POS_Y, IDC_POS_Z, IDC_POS_A};
// Two steps above normal, as the polling wants to keep pace under load.
constexpr int kPrioritySteps = 2;
constexpr const char* kPriorityRefusedText =
    "Command thread runs at normal priority: the system refused a higher one\n";

}  // namespace

CCommandThread::CCommandThread(ServiceContext context)
    : m_context(std::move(context)),
      m_stopIndication(m_context.display),
      m_motion(m_context, m_stopIndication),
      m_jobOutput(m_context, m_stop),
      m_toolDetection(m_context),
      m_scans(m_context, {m_firstYEdge, m_secondYEdge, m_referenceZ, m_toolSensorZ}, m_stop) {}

CCommandThread::~CCommandThread() {
    // A thread still running here would use what its owner is destroying;
    // the owner asks it to stop and joins it before that.
    if (m_thread.joinable()) {
        RequestStop();
        m_thread.join();
    }
    m_context.port.SetWaitAbort(nullptr);
}

void CCommandThread::Resume() {
    if (m_thread.joinable()) return;
    // A machine command in flight gives up waiting at shutdown and for a Stop.
    m_context.port.SetWaitAbort([this] { return m_stop.load() || StopPending(); });
    m_thread = std::thread([this] {
        // Numbers are shown and parsed with '.' whatever locale the windows use.
        locale_t c = newlocale(LC_ALL_MASK, "C", nullptr);
        if (c) uselocale(c);
        m_priorityRefused = !platform::RaiseThreadPriority(kPrioritySteps);
        if (InitInstance()) Run();
        uselocale(LC_GLOBAL_LOCALE);
        if (c) freelocale(c);
        std::lock_guard lock(m_exitMutex);
        m_hasExited = true;
        m_exited.notify_all();
    });
}

// The stop flag starts clear at construction; InitInstance leaves it alone, so
// a stop requested before the thread got going is not lost.
bool CCommandThread::InitInstance() { return true; }

int CCommandThread::Run() {
    m_firstYEdge = 0;
    m_secondYEdge = 0;
    while (!m_stop.load()) Iterate();
    // A Stop pressed as the program closes (a jog button let go with its
    // window) is still sent: the machine must not travel on unattended.
    if (StopPending()) RunStopCycle(kStatusIdle);
    // The port closes after this thread: no write of the stream may outlive it.
    m_jobOutput.WaitForFeed();
    ExitInstance();
    return 0;
}

void CCommandThread::ExitInstance() { m_context.log.Write("Exist instance of Command thread\n"); }

void CCommandThread::RequestStop() {
    m_context.log.Write("Command thread stoppped\n");
    m_stop = true;
}

bool CCommandThread::Join(int timeoutMs) {
    if (!m_thread.joinable()) return true;
    std::unique_lock lock(m_exitMutex);
    if (!m_exited.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [this] { return m_hasExited; }))
        return false;
    lock.unlock();
    m_thread.join();
    return true;
}

void CCommandThread::Lose(const char* reason) {
    m_context.state.closingReason.Set(reason);
    m_context.state.closingAcknowledged = false;
    m_context.display.EndMainWindow(-1);
}

void CCommandThread::LoseUnlessGone(const char* reason) {
    // A machine unplugged between the status read and this one answers
    // nothing at all now: the operator is told that, not that one reading failed.
    Lose(m_context.port.ReadStatus() == kStatusLost ? kMachineLostText : reason);
}

void CCommandThread::NotePriority() {
    if (!m_priorityRefused || !m_context.log.IsEnabled()) return;
    m_context.log.Write(kPriorityRefusedText);
    m_priorityRefused = false;
}

void CCommandThread::Iterate() {
    NotePriority();
    CMachinePort& port = m_context.port;
    const int status = port.ReadStatus();
    int spindle = 0;
    if (status == kStatusLost) {
        Lose(kMachineLostText);
    } else {
        m_context.state.lastStatus = status;
        UpdateViewMode(status);
        m_stopIndication.Update(status);
        ContactBeep();
        if (!UpdatePosition()) {
            LoseUnlessGone(kNoCoordinatesText);
        } else {
            bool stopped = PauseThenServeStop(status);
            UpdateProgress(status);
            stopped = PauseThenServeStop(status) || stopped;
            if (!UpdateSpindle(spindle)) {
                LoseUnlessGone(kNoSpindleText);
            } else {
                m_context.sleep(kPollPauseMs);
                m_context.display.SetText(
                    Window::Main, IDC_CURRENT_TOOL,
                    FormatText("Current Tool: %d", m_context.config.CurrentTool()));
                UpdateButtons(spindle);
                RaiseAfterClearing(status);
                // After the pulses this iteration's status is stale: what waits
                // for the machine, the cancel among it, looks again next pass.
                if (!stopped && ServiceScan(GateStatus(status))) {
                    ServiceJobOutput();
                    RunCycle(GateStatus(status));
                }
            }
        }
    }
    m_context.sleep(kLoopPauseMs);
}

void CCommandThread::UpdateViewMode(int status) {
    const bool view = (status & kStatusViewBit) != 0;
    if (view && !m_viewMode) {
        m_context.display.SetText(Window::Main, IDC_STATUS, "Machine is in View mode...");
        m_stopIndication.Reset();
    } else if (!view && m_viewMode) {
        m_context.display.SetText(Window::Main, IDC_STATUS, "");
    }
    m_viewMode = view;
}

void CCommandThread::ContactBeep() {
    const SharedState& state = m_context.state;
    if (state.cycleCode.load() != kToolDetectionCycle || state.cycleStep.load() <= 4) return;
    if (m_context.port.IsSensorTouched()) platform::Beep(kContactBeepHz, kContactBeepMs);
    m_context.sleep(kPollPauseMs);
}

bool CCommandThread::UpdatePosition() {
    MachinePosition position;
    if (!m_context.port.ReadMachinePosition(position)) return false;
    SharedState& state = m_context.state;
    state.lastPosition.Set(position);
    const std::int32_t counts[4] = {position.x, position.y, position.z, position.a};
    const std::array<double, 4> offsets = ShownOffsets(state, m_context.config);
    for (int axis = 0; axis < 4; ++axis) {
        std::optional<Shown>& shown = m_shownAxis[axis];
        if (shown && shown->count == counts[axis] && shown->offset == offsets[axis]) continue;
        shown = Shown{counts[axis], offsets[axis]};
        m_context.display.SetText(Window::Main, kPositionDisplays[axis],
                                  FormatText("%.2f", counts[axis] * 0.01 - offsets[axis]));
    }
    return true;
}

void CCommandThread::UpdateProgress(int status) {
    SharedState& state = m_context.state;
    IDisplay& display = m_context.display;
    const bool jobJustEnded = m_jobRunning && status != kStatusJob;
    m_jobRunning = status == kStatusJob;
    std::uint32_t done = 0;
    if (status != kStatusJob) {
        // The last commands finish after the last read made while the machine
        // ran job data: one more read, so the count covers the whole job.
        if (jobJustEnded && m_context.port.ReadCommandsDone(done)) state.commandsDone = done;
        display.SetText(Window::RunPage, IDC_PERCENT_TEXT, FormatText("%d%s", 0, "%"));
        display.SetProgress(0);
        return;
    }
    if (m_context.port.ReadCommandsDone(done)) state.commandsDone = done;
    const int code = state.cycleCode.load();
    if (code != kToolDetectionCycle) {
        const std::uint32_t total = state.runList.CommandCount();
        // An empty run list while the machine runs job data (someone else's
        // job) has no meaningful percentage: show 0.
        const double percent = total > 0 ? double(state.commandsDone.load()) / total * 100.0 : 0.0;
        display.SetText(Window::RunPage, IDC_PERCENT_TEXT, FormatText("%.1f%s", percent, "%"));
        display.SetProgress(static_cast<int>(std::min(percent, 100.0)));
    }
    if (code == kNoCycle || code == kDetectionCycle || code == kSpindleCycle ||
        code == kOverrideCycle || code > kWriteParametersCycle) {
        const std::time_t now = std::time(nullptr);
        const std::time_t start = state.jobStartTime.load();
        if (start != 0 && now != 0 && start < now) {
            const double elapsed = std::difftime(now, start);
            state.elapsedSeconds = elapsed;
            display.SetText(Window::RunPage, IDC_CUT_TIME, FormatText("%.1f min.", elapsed / 60.0));
        }
    }
}

bool CCommandThread::UpdateSpindle(int& shown) {
    std::int32_t reported = 0;
    if (!m_context.port.ReadSpindle(reported)) return false;
    int value = reported;
    if (reported >= 0) {
        // Scaled in floating point and clamped before converting, so a wild
        // report cannot overflow.
        double scaled =
            std::floor(reported * double(m_context.state.spindleOverride.load()) * 0.01);
        if (scaled > 0 && scaled < kSpindleShownMin) scaled = kSpindleShownMin;
        if (scaled > kSpindleShownMax) scaled = kSpindleShownMax;
        value = static_cast<int>(scaled);
    }
    if (!m_shownSpindle || *m_shownSpindle != value) {
        m_shownSpindle = value;
        m_context.display.SetText(Window::Main, IDC_SPINDLE_SPEED, FormatText("%d", value));
        m_context.log.Write(FormatText("Spindle=%d\n", value));
    }
    shown = value;
    return true;
}

void CCommandThread::UpdateButtons(int spindle) {
    IDisplay& display = m_context.display;
    const SharedState& state = m_context.state;
    if (spindle == 0) {
        if (state.jobState.load() == kJobIdle && m_stopIndication.Counter() == 0 &&
            !display.IsEnabled(IDC_START)) {
            display.EnableControls(
                {IDC_MOVE, IDC_GO, IDC_START, IDC_JOG_PLUS, IDC_JOG_MINUS, IDC_SET_UP,
                 IDC_SET_TOOL_HEIGHT, IDC_TOOL_CHANGER, IDC_USE_FIXTURE_OFFSETS, IDC_FIXTURE1,
                 IDC_FIXTURE2, IDC_FIXTURE3, IDC_FIXTURE4, IDC_CLOSE, IDC_SPINDLE, IDC_OPEN},
                true);
            m_context.log.Write("Enabling buttons\n");
        }
    } else if (spindle > 0) {
        if (state.spindleSwitch.load() != 0) {
            // The operator switched the spindle on: only what would start work is locked.
            if (display.IsEnabled(IDC_START)) {
                display.EnableControls(
                    {IDC_START, IDC_OPEN, IDC_SET_TOOL_HEIGHT, IDC_TOOL_CHANGER, IDC_SET_UP},
                    false);
                m_context.log.Write("Disabling buttons\n");
            }
        } else if (display.IsEnabled(IDC_MOVE)) {
            display.EnableControls(
                {IDC_MOVE, IDC_GO, IDC_START, IDC_OPEN, IDC_SET_TOOL_HEIGHT, IDC_TOOL_CHANGER,
                 IDC_SET_UP, IDC_JOG_PLUS, IDC_JOG_MINUS, IDC_USE_FIXTURE_OFFSETS, IDC_FIXTURE1,
                 IDC_FIXTURE2, IDC_FIXTURE3, IDC_FIXTURE4, IDC_CLOSE, IDC_SPINDLE},
                false);
            m_context.log.Write("Disabling buttons\n");
        }
    }
}

bool CCommandThread::ServiceScan(int status) {
    const SharedState& state = m_context.state;
    if (state.scanKind.load() == kNoScan || state.cycleCode.load() != kNoCycle) return true;
    // A scan waits for an idle machine and holds up the rest of the iteration.
    if (status != kStatusIdle) return false;
    return m_scans.Step();
}

void CCommandThread::ServiceJobOutput() {
    m_jobOutput.Service(StopPending() ? kStopCycle
                                      : m_context.state.cycleCode.load(std::memory_order_acquire));
}

bool CCommandThread::PauseThenServeStop(int status) {
    m_context.sleep(kPollPauseMs);
    // Served at the end of the pause it came in, not of the iteration: a
    // Stop reaches the machine within a pause rather than within a poll.
    if (!StopPending()) return false;
    RunStopCycle(GateStatus(status));
    return true;
}

int CCommandThread::GateStatus(int status) const {
    // While a file streams, nothing that waits for an idle machine starts,
    // however briefly the machine runs out of data.
    return m_jobOutput.Feeding() ? kStatusJob : status;
}

bool CCommandThread::StopPending() const {
    return m_context.state.StopRequested() && !m_servingStop.load();
}

void CCommandThread::RunCycle(int status) {
    // A request made after the Stop (its code now over code 12) runs next pass.
    if (StopPending()) {
        RunStopCycle(status);
        return;
    }
    const int code = m_context.state.cycleCode.load(std::memory_order_acquire);
    if (!m_toolDetection.Run(code, status)) m_motion.Run(code, status);
    // A Stop pressed during that step ended its wait for the machine; its
    // pulses go out now, not after another pass.
    if (StopPending()) RunStopCycle(status);
}

void CCommandThread::RunStopCycle(int status) {
    // Cut short after the stream had ended, the job leaves the tool where the
    // pulses stop it, possibly in the stock.
    if (status == kStatusJob && m_context.state.jobState.load() == kJobIdle)
        m_raiseAfterClearing = true;
    m_servingStop = true;
    // Cleared before the pulses: a Stop pressed while they go out is served again.
    m_context.state.stopRequested.store(false, std::memory_order_release);
    m_motion.Run(kStopCycle, status);
    // Files already handed to the print spooler would otherwise go on to the
    // machine after the pulses; what it, or the last write of the stream, put
    // through meanwhile is cleared too.
    if (m_jobOutput.EndAfterStop()) m_motion.Run(kStopCycle, status);
    m_servingStop = false;
}

void CCommandThread::RaiseAfterClearing(int status) {
    if (!m_raiseAfterClearing || status != kStatusIdle || StopPending()) return;
    MachinePosition p;
    if (!m_context.port.ReadMachinePosition(p)) return;  // tried again when idle next
    m_raiseAfterClearing = false;
    m_context.port.MoveTo(p.x, p.y, m_context.config.Profile().zLimit, p.a,
                          JobOutput::kCancelSpeed);
}
