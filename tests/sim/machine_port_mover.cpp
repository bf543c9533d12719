// A second program on the machine, for the port-sharing test: opens the
// machine named in argv[1] through the driver in the program folder argv[2]
// and moves X to argv[3] at full speed. Exit code 0 when the move was sent.
#include <cstdlib>

#include "link/machine_port.h"
#include "platform/program_folder.h"

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    platform::SetProgramFolder(argv[2]);
    CMachinePort port;
    port.SetPortName(argv[1]);
    if (!port.OpenPort()) return 1;
    const bool sent = port.MoveTo(std::atoi(argv[3]), 0, 10500, 0, 3000);
    port.ClosePort();
    return sent ? 0 : 1;
}
