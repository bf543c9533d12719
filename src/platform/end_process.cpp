#include "platform/end_process.h"

#include <cstdio>
#include <cstdlib>

namespace platform {

void EndProcess(int exitCode) {
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(exitCode);
}

}  // namespace platform
