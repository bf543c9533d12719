#pragma once
// One step of job execution, as the interpreter hands it to the machine.
#include "machine/axes.h"

namespace sim {

struct JobOp {
    enum class Kind {
        Move,          // to `target` (user counts, A in 0.01 degree) at `value` mm/s
        Dwell,         // wait `value` ms
        SpindleOn,     // `value` 0 = off, else on
        SpindleSpeed,  // `value`: a code 0..15 or an rpm
        CommandDone,   // one ';'-terminated command has been executed
    };
    Kind kind = Kind::CommandDone;
    Point target;
    double value = 0;
};

}  // namespace sim
