#pragma once
// Running jobs without clicking, for operators' scripts and machines without
// a screen: add files to the run list, press Run, print progress lines, save a
// screenshot and close the window when the job has finished.
#include <QObject>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class CTarnwickDlg;

struct BatchOptions {
    std::vector<std::string> files;  // added to the run list, in order
    bool run = false;                // press Run once the window is up
    bool quitWhenDone = false;       // close the window when the job has finished
    std::string screenshot;          // PNG of the window, saved when the job ends
    bool Active() const { return !files.empty() || run || quitWhenDone || !screenshot.empty(); }
};

// How a scripted run ended; the program's exit code.
enum class BatchOutcome : int {
    Finished = 0,     // every file ran to the end (or nothing was asked to run)
    Refused = 2,      // a file could not be added, or Run did not start
    MachineLost = 3,  // the machine stopped answering
    Stopped = 4,      // the operator pressed Stop
    NotSent = 5,      // the machine's print queue did not take a file
};

class BatchRun : public QObject {
    Q_OBJECT
public:
    // `outcome` outlives the window and this object and receives how the run went.
    BatchRun(CTarnwickDlg& window, BatchOptions options, BatchOutcome& outcome,
             std::FILE* out = stdout);

    static constexpr int kPollMs = 100;
    static constexpr int kProgressEveryMs = 1000;
    // How long closing waits for the spindle a job left on to stop.
    static constexpr int kClosingPolls = 300;
    // How long the machine may stand idle while the print spooler holds the job.
    static constexpr int kSpoolerPatienceMs = 60000;
    static constexpr const char* kStillSpooledText =
        "The machine's print queue still holds the job: it has not reached the machine";
    static constexpr const char* kSpindleLeftOnText =
        "The job left the spindle on: switching it off before closing";

private:
    void Start();
    void Poll();
    void PrintProgress();
    // Whether the print spooler still holds a document for the machine. Asked
    // on a thread of its own, so that the window stays live while the spooler
    // answers (5 s at most); empty until the answer has come.
    std::optional<bool> SpoolerHolds();
    void Finish(BatchOutcome outcome);
    // Closes the window as "Close" does, once the command thread allows it.
    void Close();

    CTarnwickDlg& m_window;
    BatchOptions m_options;
    std::FILE* m_out;
    QTimer m_timer;
    BatchOutcome& m_outcome;
    bool m_running = false;
    bool m_closing = false;
    int m_closingPolls = 0;
    int m_idlePolls = 0;
    std::future<bool> m_spoolerAnswer;
    // Since when the machine has stood idle while the spooler held the job.
    std::optional<std::chrono::steady_clock::time_point> m_heldSince;
    int m_sinceProgressMs = 0;
    std::string m_lastLine;
};

// The program's exit code for a scripted run whose window closed with `windowResult`.
int BatchExitCode(BatchOutcome outcome, int windowResult);

namespace ui {
class MessageBoxService;
}
// Message boxes of an unattended run: printed as "caption: text" and answered
// at once, so that nothing waits for an operator who is not there.
std::shared_ptr<ui::MessageBoxService> ConsoleMessageBoxes(std::FILE* out = stdout);
