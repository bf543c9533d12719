#include "app/batch_run.h"

#include <QAbstractButton>
#include <QFileInfo>

#include "app/tarnwick_dlg.h"
#include "config/configuration.h"
#include "jobs/page_tab_ctrl.h"
#include "jobs/run_page.h"
#include "platform/print_channel.h"
#include "service/fixtures.h"
#include "service/job_output.h"
#include "service/machine_status.h"
#include "service/shared_state.h"
#include "service/text_format.h"
#include "service/units.h"
#include "ui/dialog_ids.h"
#include "ui/message_box_service.h"

namespace {
// Polls with the machine idle and nothing left to send before the job counts
// as finished: the machine may take a moment to take up freshly spooled data.
constexpr int kIdlePollsToFinish = 5;
}  // namespace

BatchRun::BatchRun(CTarnwickDlg& window, BatchOptions options, BatchOutcome& outcome,
                   std::FILE* out)
    : QObject(&window),
      m_window(window),
      m_options(std::move(options)),
      m_out(out),
      m_outcome(outcome) {
    m_timer.setInterval(kPollMs);
    connect(&m_timer, &QTimer::timeout, this, &BatchRun::Poll);
    // After the window's initialisation, inside its modal run.
    QTimer::singleShot(0, this, &BatchRun::Start);
}

void BatchRun::Start() {
    CPageTabCtrl* pages = m_window.Pages();
    if (!pages) return;  // the window ended while starting (no machine)
    RunList& runList = m_window.State().runList;
    for (const std::string& file : m_options.files) {
        if (!QFileInfo(QString::fromStdString(file)).isReadable() || !runList.Add(file)) {
            std::fprintf(m_out, "%s: cannot be added to the run list\n", file.c_str());
            return Finish(BatchOutcome::Refused);
        }
    }
    // The page shows what was added, as if the operator had picked the files.
    pages->RunPage().ShowRunList();
    if (m_options.run) {
        pages->RunPage().OnRun();
        if (m_window.State().jobState.load() != kJobRunning) {
            std::fprintf(m_out, "Run did not start\n");
            return Finish(BatchOutcome::Refused);
        }
        m_running = true;
    }
    m_timer.start();
}

void BatchRun::Poll() {
    if (m_closing) return Close();
    SharedState& state = m_window.State();
    m_sinceProgressMs += kPollMs;
    if (state.jobState.load() == kJobCancel) m_outcome = BatchOutcome::Stopped;
    if (m_sinceProgressMs >= kProgressEveryMs) {
        m_sinceProgressMs = 0;
        PrintProgress();
    }
    if (!m_running) return;
    const bool idle = state.jobState.load() == kJobIdle && state.lastStatus.load() == kStatusIdle;
    m_idlePolls = idle ? m_idlePolls + 1 : 0;
    if (!idle) m_heldSince.reset();
    if (m_idlePolls < kIdlePollsToFinish) return;
    const bool notSent = state.filesNotSent.load() > 0;
    // A print spooler may still hold the last file, about to send it; one that
    // holds it for a minute while the machine stands idle is not passing it on.
    bool stillSpooled = false;
    if (!notSent) {
        const std::optional<bool> holds = SpoolerHolds();
        if (!holds) return;  // asked again at the next poll
        if (*holds) {
            const auto now = std::chrono::steady_clock::now();
            if (!m_heldSince) m_heldSince = now;
            m_idlePolls = 0;
            if (now - *m_heldSince < std::chrono::milliseconds(kSpoolerPatienceMs)) return;
            stillSpooled = true;
        }
    }
    m_running = false;
    PrintProgress();
    if (m_outcome == BatchOutcome::Finished && (notSent || stillSpooled)) {
        std::fprintf(m_out, "%s\n", notSent ? JobOutput::kNotSentText : kStillSpooledText);
        m_outcome = BatchOutcome::NotSent;
    }
    Finish(m_outcome);
}

std::optional<bool> BatchRun::SpoolerHolds() {
    if (!m_spoolerAnswer.valid())
        m_spoolerAnswer = std::async(std::launch::async, [name = m_window.Port().PortName()] {
            return platform::SpoolerHoldsDocuments(name);
        });
    if (m_spoolerAnswer.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        return std::nullopt;
    return m_spoolerAnswer.get();
}

void BatchRun::PrintProgress() {
    SharedState& state = m_window.State();
    const RunList& runList = state.runList;
    const int index = std::min(runList.CurrentIndex(), runList.Count() - 1);
    const std::string file =
        index >= 0 ? QFileInfo(QString::fromStdString(runList.Path(index))).fileName().toStdString()
                   : std::string("-");
    const std::uint32_t total = runList.CommandCount();
    const double percent = total > 0 ? 100.0 * state.commandsDone.load() / total : 0.0;
    const auto p = ShownPosition(state.lastPosition.Get(), state, m_window.Config());
    const auto left = m_window.Pages()->RunPage().MinutesLeftAfter(state.commandsDone.load());
    const std::string line =
        FormatText("%s, %.1f%%, %.1f min., %s min. left, X %.2f Y %.2f Z %.2f A %.2f", file.c_str(),
                   percent, state.elapsedSeconds.load() / 60.0,
                   left ? FormatText("%.1f", *left).c_str() : "?", p[0], p[1], p[2], p[3]);
    if (line == m_lastLine) return;
    m_lastLine = line;
    std::fprintf(m_out, "%s\n", line.c_str());
    std::fflush(m_out);
}

void BatchRun::Finish(BatchOutcome outcome) {
    m_outcome = outcome;
    m_timer.stop();
    if (!m_options.screenshot.empty()) {
        if (!m_window.grab().save(QString::fromStdString(m_options.screenshot)))
            std::fprintf(m_out, "%s: the screenshot cannot be saved\n",
                         m_options.screenshot.c_str());
    }
    if (!m_options.quitWhenDone) return;
    // A job that ends with the spindle on keeps "Close" disabled, as it would
    // for an operator: the spindle is switched off first, as one would do.
    if (!m_window.IsEnabled(ui::IDOK)) {
        std::fprintf(m_out, "%s\n", kSpindleLeftOnText);
        std::fflush(m_out);
        SharedState& state = m_window.State();
        state.spindleSwitch = 0;
        state.SetCycle(kSpindleCycle, 0);
        m_closing = true;
        m_timer.start();
        return;
    }
    m_window.Control<QAbstractButton>(ui::IDOK)->click();
}

void BatchRun::Close() {
    auto* close = m_window.Control<QAbstractButton>(ui::IDOK);
    if (close->isEnabled()) {
        m_timer.stop();
        close->click();
    } else if (++m_closingPolls > kClosingPolls) {
        // The spindle never reported stopped: the run still ends, never hangs.
        m_timer.stop();
        m_window.EndDialog(ui::IDOK);
    }
}

int BatchExitCode(BatchOutcome outcome, int windowResult) {
    // A window ended by the program itself: the machine was not found or was
    // lost, which also explains a file it could no longer take.
    if (windowResult == -1 &&
        (outcome == BatchOutcome::Finished || outcome == BatchOutcome::NotSent))
        outcome = BatchOutcome::MachineLost;
    return static_cast<int>(outcome);
}

namespace {

class ConsoleMessageBoxService : public ui::MessageBoxService {
public:
    explicit ConsoleMessageBoxService(std::FILE* out) : m_out(out) {}
    int Show(QWidget*, const QString& text, const QString& caption) override {
        std::fprintf(m_out, "%s: %s\n", caption.toUtf8().constData(), text.toUtf8().constData());
        std::fflush(m_out);
        return ui::IDOK;
    }

private:
    std::FILE* m_out;
};

}  // namespace

std::shared_ptr<ui::MessageBoxService> ConsoleMessageBoxes(std::FILE* out) {
    return std::make_shared<ConsoleMessageBoxService>(out);
}
