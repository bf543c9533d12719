#pragma once
// What the RML-1 parser reports as it reads a job stream, byte by byte, so that
// a command with any number of coordinate pairs never has to be held whole.

namespace sim {

enum class Mnemonic {
    // one-letter group
    D,
    F,
    H,
    I,
    M,
    R,
    V,
    W,
    Z,
    At,
    // two-letter group (also reachable as ^xx)
    DF,
    IN,
    PA,
    PD,
    PR,
    PU,
    VS,
    // common commands, '!' + two letters
    DW,
    MC,
    NR,
    PZ,
    RC,
    VZ,
    ZM,
    ZO,
    ZZ,
    ZE,
};

enum class RmlError {
    UnknownMnemonic = 1,  // discarded up to its ';'
    NumberAsCommand = 2,  // a number where a command should start; discarded
    BadByte = 3,          // a byte of 0x80 or above
};

class RmlListener {
public:
    virtual ~RmlListener() = default;
    virtual void OnCommand(Mnemonic mnemonic) = 0;
    virtual void OnParameter(double value) = 0;
    // The current command is over: `terminated` when by its ';' (counted as a
    // processed command, also for an empty or discarded one), otherwise by a
    // byte that cannot continue it and starts the next command instead.
    virtual void OnEnd(bool terminated) = 0;
    virtual void OnError(RmlError) {}
};

}  // namespace sim
