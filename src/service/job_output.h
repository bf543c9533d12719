#pragma once
// Job output: streams the files of the run list to the machine's print queue,
// one ';'-terminated command at a time, each followed by one zero byte; moves
// the origin to fixture 2 between files in double-fixture mode; and raises Z
// when a run is cancelled.
//
// A file streams on a thread of its own (the feed), so that the service loop
// goes on polling and showing the machine while a machine with little memory
// takes the data only as fast as it cuts. Everything else happens on the
// command thread.
#include <atomic>
#include <future>
#include <memory>
#include <string>

#include "service/service_context.h"

namespace platform {
class PrintChannel;
class PrintQueue;
}  // namespace platform

class JobOutput {
public:
    // `stop` is the command thread's stop request: streaming ends with it too.
    JobOutput(ServiceContext& context, const std::atomic<bool>& stop)
        : m_context(context), m_stop(stop) {}
    // Waits for a feed still running; it ends within one write once stopped.
    ~JobOutput() { WaitForFeed(); }
    JobOutput(const JobOutput&) = delete;
    JobOutput& operator=(const JobOutput&) = delete;

    // The job-output step of one iteration, with this iteration's cycle code.
    void Service(int cycleCode);

    // A file is streaming: the machine counts as busy for every cycle that
    // waits for an idle machine, as it would while a file went out in one pass.
    bool Feeding() const { return m_feed.valid(); }
    void WaitForFeed() {
        if (m_feed.valid()) m_feed.wait();
    }

    // After a Stop's pulses: waits for the stream to end (within one write)
    // and cancels what the print spooler still holds for the machine. True
    // when data may have reached the machine after the pulses (they are due
    // again).
    bool EndAfterStop();

    static constexpr const char* kDocumentName = "conprn";
    static constexpr const char* kDataType = "RAW";
    static constexpr int kCancelSpeed = 2000;
    static constexpr const char* kNotSentText = "The machine's print queue did not take the job";

private:
    struct Fed {
        bool finished = true;   // not cut short by a Stop
        bool delivered = true;  // every byte taken by the queue
    };

    void StartFile();
    // The feed: one document with the open job file, on its own thread.
    Fed Feed();
    std::unique_ptr<platform::PrintChannel> OpenChannel();
    void AfterFile(Fed fed);
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
    std::future<Fed> m_feed;
    std::atomic<bool> m_feedingPort{false};  // the feed writes through the driver library
    bool m_showingNotSent = false;           // the status line says so until the next document
};
