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
    // Where it keeps its spool, configuration and logs.
    const std::string& Folder() const { return m_folder; }
    // Kills the scheduler at once, as a crash would.
    void Kill();
    // Stops the scheduler where it is (it answers nothing), or lets it go on.
    void Pause(bool paused);
    // Runs a program with CUPS_SERVER set; its exit code, -1 when it could not run.
    static int Run(const std::string& program, const std::vector<std::string>& arguments);

private:
    std::string m_folder;
    std::string m_whyNot;
    pid_t m_cupsd = -1;
};
