#pragma once
// CCommandThread: the one worker thread that talks to the machine while the
// main window is open. Each iteration polls status, position and spindle,
// updates the displays and buttons, and advances the pending cycle by one step.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>

#include "service/job_output.h"
#include "service/motion_cycles.h"
#include "service/scans.h"
#include "service/service_context.h"
#include "service/stop_indication.h"
#include "service/tool_detection.h"

class CCommandThread {
public:
    explicit CCommandThread(ServiceContext context);  // created suspended
    ~CCommandThread();                                // joins a thread that has ended
    CCommandThread(const CCommandThread&) = delete;
    CCommandThread& operator=(const CCommandThread&) = delete;

    // Starts the thread: InitInstance, then Run.
    void Resume();
    bool InitInstance();
    // The service loop; leaves when the stop flag is set and returns 0.
    int Run();
    void ExitInstance();
    // Asks Run to end after the current iteration; blocking waits give up.
    void RequestStop();
    bool StopRequested() const { return m_stop.load(); }
    // Waits at most `timeoutMs` for the thread to end; true when it has ended.
    bool Join(int timeoutMs);

    // One iteration of the service loop (tests drive it directly).
    void Iterate();

    // Results of the scans.
    std::int32_t FirstYEdge() const { return m_firstYEdge.load(); }
    std::int32_t SecondYEdge() const { return m_secondYEdge.load(); }
    std::int32_t ReferenceZ() const { return m_referenceZ.load(); }
    std::int32_t ToolSensorZ() const { return m_toolSensorZ.load(); }

    static constexpr const char* kMachineLostText = "Machine is no longer available.";
    static constexpr const char* kNoCoordinatesText =
        "Machine is no longer returning coordinate info.";
    static constexpr const char* kNoSpindleText = "Machine is no longer returning spindle info.";

private:
    void Lose(const char* reason);
    // A failed reading: `reason`, unless the machine has stopped answering at all.
    void LoseUnlessGone(const char* reason);
    void NotePriority();
    void UpdateViewMode(int status);
    void ContactBeep();
    bool UpdatePosition();
    void UpdateProgress(int status);
    bool UpdateSpindle(int& shown);
    void UpdateButtons(int spindle);
    bool ServiceScan(int status);
    void ServiceJobOutput();
    void RunCycle(int status);
    void RunStopCycle(int status);
    // A Stop the loop has not served yet: every wait for the machine gives way to it.
    bool StopPending() const;
    // One of the loop's pauses, then a Stop that came meanwhile; true when one did.
    bool PauseThenServeStop(int status);
    // The status the cycles and scans see.
    int GateStatus(int status) const;
    void RaiseAfterClearing(int status);

    ServiceContext m_context;
    std::atomic<bool> m_stop{false};
    StopIndication m_stopIndication;
    MotionCycles m_motion;
    JobOutput m_jobOutput;

    std::atomic<std::int32_t> m_firstYEdge{0};
    std::atomic<std::int32_t> m_secondYEdge{0};
    std::atomic<std::int32_t> m_referenceZ{0};
    std::atomic<std::int32_t> m_toolSensorZ{0};
    ToolDetection m_toolDetection;
    Scans m_scans;

    // What the displays show, so that each is written only when it changes.
    struct Shown {
        std::int32_t count = 0;
        double offset = 0.0;
    };
    std::optional<Shown> m_shownAxis[4];
    std::optional<int> m_shownSpindle;
    bool m_viewMode = false;
    bool m_jobRunning = false;  // the last iteration saw status 3
    // The system refused the thread its higher priority; said once the log is on.
    bool m_priorityRefused = false;
    // Set while the loop sends the stop cycle's pulses, whose own waits must run.
    std::atomic<bool> m_servingStop{false};
    // Stop came while the machine executed job data that had all been sent:
    // no cancel step raises the tool, so the loop does once the machine is idle.
    bool m_raiseAfterClearing = false;

    std::thread m_thread;
    std::mutex m_exitMutex;
    std::condition_variable m_exited;
    bool m_hasExited = false;
};
