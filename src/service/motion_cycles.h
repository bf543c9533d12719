#pragma once
// The short cycles behind the operator's buttons: move to a named position, go
// to a typed coordinate, target move, set origin, spindle, overrides, stop,
// aux locations, the tool changer's two cycles, the auxiliary device and the
// parameter blocks.
#include "service/service_context.h"

class StopIndication;
struct MachinePosition;

class MotionCycles {
public:
    MotionCycles(ServiceContext& context, StopIndication& stopIndication)
        : m_context(context), m_stopIndication(stopIndication) {}

    // Runs the cycle `code` for one iteration whose machine status is `status`.
    // Returns false when `code` is not one of these cycles.
    bool Run(int code, int status);

    static constexpr int kMoveSpeed = 3000;

private:
    void End(int code);
    int NextStep();
    void ClearJobStartTime();
    // The start of a gated step that moves from where the machine is: the
    // position is read, then the step counts and the cut time stops; false,
    // with the step not counted, when the position cannot be read.
    bool StartStep(int& step, MachinePosition& position);
    void Move();
    void Execute();
    void TargetMove();
    void SetOrigin();
    void Spindle();
    void Override();
    void Stop();
    void StoreAuxLocation();
    void ReplaceTool();
    void GetTool();
    // Both tool cycles take the spindle over the tool's place in the block.
    void ToolChange(int code);
    void AuxDevice();
    void ReadParameters();
    void WriteParameters();

    ServiceContext& m_context;
    StopIndication& m_stopIndication;
};
