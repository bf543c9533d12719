#pragma once
// A print spooler (CUPS scheduler) of the test's own: a cupsd in a temporary
// folder with its own configuration, listening on a Unix socket there, with
// CUPS_SERVER pointing at it while it runs. As root its backends run as "lp".
#include <sys/types.h>

#include <string>
#include <vector>

class PrivateSpooler {
public:
    PrivateSpooler();
    ~PrivateSpooler();
    // Empty when it runs; else why it does not (no cupsd here, it would not start).
    const std::string& WhyNot() const { return m_whyNot; }
    // The documents it was given, in order, as it keeps them after their jobs.
    std::vector<std::string> Documents() const;
    // SIGKILL as a crash would, SIGSTOP so that it answers nothing, SIGCONT.
    void Signal(int signal) const;
    // Runs a shell command line with CUPS_SERVER set, its output dropped; its
    // exit code, -1 when it could not run.
    static int Run(const std::string& command);
    // Whether the program's spooler calls see a document of ours held for the
    // machine. Asked on a thread of its own: the client library keeps the
    // server a thread asked first, and each test has a scheduler of its own.
    static bool HoldsDocumentsFor(const std::string& machine);

private:
    std::string m_folder;
    std::string m_whyNot;
    pid_t m_cupsd = -1;
};
