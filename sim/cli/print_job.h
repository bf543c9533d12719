#pragma once
// Sends a job file to a machine's job channel exactly as the program's job
// output does: each ';'-terminated command followed by one zero byte, and
// nothing of what follows the last ';'.
#include <istream>
#include <string>

namespace sim {

// Returns the number of commands sent; -1 when the job channel cannot be
// reached or stops taking data.
long PrintJob(std::istream& file, const std::string& jobSocketPath);

}  // namespace sim
