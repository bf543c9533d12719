#pragma once
// The calibration scans of the rotary axis and the tool sensor: runout (scan
// kind 1), the rotary axis' Y center (2) and the tool sensor height (3). The
// service loop takes one step per idle iteration while no cycle is pending; a
// step that touches hands over to the detection cycle, and the next step reads
// where it touched.
#include <atomic>
#include <cstdint>

#include "link/machine_position.h"
#include "service/service_context.h"

struct ScanStep;
struct ScanReading;
enum class ScanKeep : std::uint8_t;

// What the scans measure, kept by the command thread.
struct ScanResults {
    std::atomic<std::int32_t>& firstYEdge;
    std::atomic<std::int32_t>& secondYEdge;
    std::atomic<std::int32_t>& referenceZ;
    std::atomic<std::int32_t>& toolSensorZ;
};

class Scans {
public:
    // `stop` is the thread's stop flag: the Pause boxes give up when it is raised.
    Scans(ServiceContext& context, ScanResults results, const std::atomic<bool>& stop)
        : m_context(context), m_results(results), m_stop(stop) {}

    // Takes the next step of the pending scan. False when the machine position
    // could not be read: the step stays counted and the iteration ends.
    bool Step();

    static constexpr const char* kCompleteText = "Scan complete!";
    // Shown instead when the origin the scan needs could not be read.
    static constexpr const char* kNoOriginText = "Scan stopped: couldn't read the machine origin.";

private:
    void Take(int kind, const ScanStep& step, MachinePosition position);
    void ShowReading(const ScanReading& reading, const MachinePosition& position);
    std::atomic<std::int32_t>* Kept(ScanKeep keep);
    void Touch();
    void KeepSensorOffset();
    std::int32_t ShowYCenter();
    bool SetOriginY(std::int32_t center);
    void Pause(int kind);
    // Ends scan `kind` and shows `text`, unless Stop has ended it meanwhile.
    void Finish(int kind, const char* text);

    ServiceContext& m_context;
    ScanResults m_results;
    const std::atomic<bool>& m_stop;
};
