#pragma once
// Tool detection (cycle code 1) measures the tool on the tool sensor and sets
// the machine's Z origin from it; the detection cycle (code 6) is the
// touch-off the calibration scans use. Both act one step per idle iteration.
#include "link/machine_position.h"
#include "service/service_context.h"

struct MachineProfile;

class ToolDetection {
public:
    explicit ToolDetection(ServiceContext& context) : m_context(context) {}

    // Runs cycle `code` for one iteration whose machine status is `status`.
    // Returns false when `code` is neither of these cycles.
    bool Run(int code, int status);

    static constexpr const char* kBusyLog = "Servicing Tool Detection...Machine Busy\n";
    static constexpr const char* kFinishedLog = "Servicing Tool Detection...Step 8 and Finished\n";
    static constexpr const char* kNoOriginLog =
        "Servicing Tool Detection...Step 8 failed: origin not read\n";
    // Shown in the main window's status line when the origin could not be read.
    static constexpr const char* kNoOriginText =
        "Tool detection failed: couldn't read the machine origin.";

private:
    void DetectTool();
    void Detect();
    // Step 8: the new Z origin from the contact; false when the origin could not be read.
    bool SetToolOrigin(const MachinePosition& contact);

    ServiceContext& m_context;
};
