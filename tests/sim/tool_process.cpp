#include "tool_process.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

extern char** environ;

namespace simtest {

namespace {

pid_t Spawn(const std::vector<std::string>& args, posix_spawn_file_actions_t* actions) {
    const std::string tool = std::string(TARNWICK_PROGRAM_DIR) + "/tarnwick-sim";
    std::vector<char*> argv{const_cast<char*>(tool.c_str())};
    for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, tool.c_str(), actions, nullptr, argv.data(), environ) != 0) return -1;
    return pid;
}

}  // namespace

ToolResult RunTool(const std::vector<std::string>& args) {
    int pipe[2];
    if (::pipe(pipe) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, pipe[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipe[0]);
    const pid_t pid = Spawn(args, &actions);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipe[1]);
    ToolResult result;
    char buffer[4096];
    for (ssize_t got; (got = ::read(pipe[0], buffer, sizeof buffer)) > 0;)
        result.output.append(buffer, got);
    ::close(pipe[0]);
    int status = 0;
    if (pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    }
    return result;
}

pid_t SpawnTool(const std::vector<std::string>& args) { return Spawn(args, nullptr); }

bool WaitForFile(const std::string& path) {
    for (int i = 0; i < 1000; ++i) {
        if (std::filesystem::exists(path)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

}  // namespace simtest
