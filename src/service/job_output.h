#pragma once
// Job output: streams the files of the run list to the machine's print queue,
// one ';'-terminated command at a time, each followed by one zero byte; moves
// the origin to fixture 2 between files in double-fixture mode; and raises Z
// when a run is cancelled.
#include <atomic>
#include <string>

#include "service/service_context.h"

namespace platform {
class PrintQueue;
}

class JobOutput {
public:
    // `stop` is the command thread's stop request: streaming ends with it too.
    JobOutput(ServiceContext& context, const std::atomic<bool>& stop)
        : m_context(context), m_stop(stop) {}

    // The job-output step of one iteration, with this iteration's cycle code.
    void Service(int cycleCode);

    // After a Stop: cancels what the print spooler still holds for the
    // machine; true when it was feeding the machine (its pulses are due again).
    bool CancelSpooled();

    static constexpr const char* kDocumentName = "conprn";
    static constexpr const char* kDataType = "RAW";
    static constexpr int kCancelSpeed = 2000;
    static constexpr const char* kNotSentText = "The machine's print queue did not take the job";

private:
    void StreamCurrentFile();
    bool Cancelled() const;
    // Sends the open job file; false when the job state became 3 meanwhile.
    bool Stream(platform::PrintQueue& queue);
    void NextFile();
    // Moves the job state on from 1, unless a Stop has set 3 meanwhile.
    void LeaveRunning(int next);
    void SwitchToFixture2();
    void Cancel();

    ServiceContext& m_context;
    const std::atomic<bool>& m_stop;
    bool m_showingNotSent = false;  // the status line says so until the next document
};
