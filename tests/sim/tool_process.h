#pragma once
// Runs the tarnwick-sim tool from the program folder as a separate process.
#include <sys/types.h>

#include <string>
#include <vector>

namespace simtest {

struct ToolResult {
    int exitCode = -1;
    std::string output;  // standard output and standard error
};

// Runs to completion.
ToolResult RunTool(const std::vector<std::string>& args);
// Starts in the background; returns its process id.
pid_t SpawnTool(const std::vector<std::string>& args);
// Waits until `path` exists, for at most ten seconds.
bool WaitForFile(const std::string& path);

}  // namespace simtest
