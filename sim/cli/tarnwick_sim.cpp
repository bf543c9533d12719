// tarnwick-sim: run a simulated machine, look at it, press its buttons and
// inject faults.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "cli/print_job.h"
#include "host/control_client.h"
#include "host/machine_host.h"
#include "host/runtime_dir.h"
#include "machine/profile.h"

namespace {

constexpr int kFailed = 1;
constexpr int kUsage = 2;

const char* const kUsageText =
    "usage: tarnwick-sim COMMAND MODEL [ARGUMENTS]\n"
    "  serve MODEL                  run the machine in the foreground until interrupted\n"
    "  status MODEL                 show position, status, spindle, overrides, job progress\n"
    "  moves MODEL                  list where the current job's moves went (machine counts)\n"
    "  view MODEL on|off            press or release the VIEW button\n"
    "  cable MODEL on|off           plug or unplug the sensor cable\n"
    "  fault MODEL lose|stall|clear\n"
    "  fault MODEL fail-opcode N    make every frame with opcode N fail\n"
    "  speed MODEL FACTOR           run machine time FACTOR times faster than real time\n"
    "  tool MODEL COUNTS            set the tool length (0.01 mm)\n"
    "  print MODEL FILE             send a job file as the program does\n"
    "  queue MODEL add|remove       add or remove the print spooler's (CUPS) raw queue that\n"
    "                               sends to the machine's job port (runs lpadmin)\n"
    "MODEL is \"Roland MDX-40\" or \"Roland JWX-10\". The sockets are in $TARNWICK_SIM_DIR\n"
    "(default: $XDG_RUNTIME_DIR/tarnwick-sim or /tmp/tarnwick-sim-UID).\n";

int Fail(const std::string& message, int code = kFailed) {
    std::cerr << "tarnwick-sim: " << message << "\n";
    return code;
}

std::string NotRunning(const sim::MachineProfile& profile, const std::string& dir) {
    return std::string("machine \"") + profile.name + "\" is not running (no host at " +
           sim::ControlSocketPath(dir, profile.name) + ")";
}

int Serve(const sim::MachineProfile& profile) {
    // Block the stop signals before any thread starts, then wait for one.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    const auto options = sim::HostOptions::FromEnvironment();
    std::string error;
    auto host = sim::MachineHost::Start(profile, options, error);
    if (!host) return Fail(error);
    std::cout << "serving " << profile.name << " at " << options.dir << " (speed " << options.speed
              << ", latency " << options.latency.count() << " us)" << std::endl;
    int signal = 0;
    sigwait(&stopSignals, &signal);
    host->Stop();
    return 0;
}

int Print(const sim::MachineProfile& profile, const std::string& dir, const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return Fail("cannot read " + path);
    const long commands = sim::PrintJob(file, sim::JobSocketPath(dir, profile.name));
    if (commands < 0) return Fail(NotRunning(profile, dir));
    std::cout << "sent " << commands << " commands" << std::endl;
    return 0;
}

// The spooler's queue for the machine: named like it with '_' for the spaces
// (queue names hold none), described by its name, raw, to the job port.
int Queue(const sim::MachineProfile& profile, const std::string& dir, const std::string& what) {
    std::string name = profile.name;
    std::replace(name.begin(), name.end(), ' ', '_');
    std::vector<std::string> lpadmin = {"lpadmin", "-x", name};
    if (what == "add") {
        int port = 0;
        if (!(std::ifstream(sim::JobPortPath(dir, profile.name)) >> port) || port <= 0)
            return Fail(NotRunning(profile, dir));
        lpadmin = {"lpadmin",
                   "-p",
                   name,
                   "-D",
                   profile.name,
                   "-v",
                   "socket://127.0.0.1:" + std::to_string(port),
                   "-E"};
    } else if (what != "remove") {
        std::cerr << kUsageText;
        return kUsage;
    }
    std::vector<char*> argv;
    for (std::string& word : lpadmin) argv.push_back(word.data());
    argv.push_back(nullptr);
    // Run directly, never through a shell: the model name holds a space.
    const pid_t child = ::fork();
    if (child == 0) {
        ::execvp(argv[0], argv.data());
        std::_Exit(127);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0)
        return Fail("lpadmin failed (is the print spooler running? CUPS_SERVER tells which)");
    std::cout << (what == "add" ? "queue " + name + " added" : "queue " + name + " removed")
              << std::endl;
    return 0;
}

int Command(const sim::MachineProfile& profile, const std::string& dir, const std::string& line) {
    auto client = sim::ControlClient::Connect(sim::ControlSocketPath(dir, profile.name));
    if (!client) return Fail(NotRunning(profile, dir));
    const auto answer = client->Command(line);
    if (!answer) return Fail("the host did not answer");
    if (!answer->ok) return Fail(sim::AsText(*answer));
    const std::string text = sim::AsText(*answer);
    std::cout << text << (text.ends_with('\n') ? "" : "\n");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() < 2) {
        std::cerr << kUsageText;
        return kUsage;
    }
    const std::string& command = args[0];
    const sim::MachineProfile* profile = sim::FindProfile(args[1]);
    if (!profile) {
        return Fail(
            "unknown model \"" + args[1] + "\" (known: \"Roland MDX-40\", \"Roland JWX-10\")",
            kUsage);
    }
    const std::string dir = sim::RuntimeDir();
    const auto argument = [&](std::size_t i) { return i < args.size() ? args[i] : std::string(); };

    if (command == "serve" && args.size() == 2) return Serve(*profile);
    if (command == "print" && args.size() == 3) return Print(*profile, dir, args[2]);
    if (command == "queue" && args.size() == 3) return Queue(*profile, dir, args[2]);
    if ((command == "status" || command == "moves") && args.size() == 2)
        return Command(*profile, dir, command);
    const bool known = command == "view" || command == "cable" || command == "fault" ||
                       command == "speed" || command == "tool";
    if (known && args.size() >= 3 && args.size() <= 4) {
        return Command(*profile, dir, command + " " + argument(2) + " " + argument(3));
    }
    std::cerr << kUsageText;
    return kUsage;
}
