#pragma once
// Where the machines' sockets live: one folder per user, mode 0700, so that
// no other user can reach or fake a machine. TARNWICK_SIM_DIR overrides it.
#include <string>

namespace sim {

// $TARNWICK_SIM_DIR, else $XDG_RUNTIME_DIR/tarnwick-sim, else /tmp/tarnwick-sim-<uid>.
std::string RuntimeDir();
// Creates the folder if needed and makes sure it is ours and private.
bool PrepareRuntimeDir(const std::string& dir, std::string& error);

// The two channels of a machine, and the lock its host holds while it runs.
std::string ControlSocketPath(const std::string& dir, const std::string& model);
std::string JobSocketPath(const std::string& dir, const std::string& model);
std::string HostLockPath(const std::string& dir, const std::string& model);
// The file that holds the machine's job port (raw job data over TCP on the
// loopback address, as a networked printer takes it), while its host runs.
std::string JobPortPath(const std::string& dir, const std::string& model);

}  // namespace sim
