#include "private_spooler.h"

#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

namespace {

constexpr const char* kCupsd = "/usr/sbin/cupsd";

void Write(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

pid_t Spawn(const std::string& program, const std::vector<std::string>& arguments) {
    std::vector<std::string> words = {program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        // What the tools print is not the test's.
        if (std::FILE* null = std::freopen("/dev/null", "w", stdout)) (void)null;
        ::execvp(argv[0], argv.data());
        std::_Exit(127);
    }
    return child;
}

}  // namespace

PrivateSpooler::PrivateSpooler() {
    // The scheduler, and the backend that sends a queue's jobs to a network port.
    if (::access(kCupsd, X_OK) != 0 || ::access("/usr/lib/cups/backend/socket", F_OK) != 0) {
        m_whyNot = "no CUPS scheduler with its socket backend here (Debian package cups)";
        return;
    }
    char pattern[] = "/tmp/tcups-XXXXXX";  // short: a socket path has a length limit
    m_folder = ::mkdtemp(pattern);
    const std::string f = m_folder;
    for (const char* sub : {"/cache", "/log", "/spool", "/spool/tmp", "/state"})
        std::filesystem::create_directories(f + sub);
    ::chmod(f.c_str(), 0755);
    ::chmod((f + "/spool/tmp").c_str(), 01777);
    const bool root = ::geteuid() == 0;
    std::string user = "lp", group = "lp";
    if (root) {
        const passwd* lp = ::getpwnam("lp");
        if (!lp) {
            m_whyNot = "running as root, and there is no user lp for the backends";
            return;
        }
        for (const char* sub : {"/cache", "/spool", "/state"})
            std::filesystem::permissions(f + sub, std::filesystem::perms::all);
    } else {
        const passwd* me = ::getpwuid(::geteuid());
        user = me ? me->pw_name : "nobody";
        group = std::to_string(::getegid());
    }
    Write(f + "/cupsd.conf", "Listen " + f +
                                 "/cups.sock\nLogLevel warn\nWebInterface No\n"
                                 "Browsing No\nDefaultAuthType None\n"
                                 "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                                 "<Location /admin>\n  Order allow,deny\n  Allow all\n</Location>\n"
                                 "<Policy default>\n  <Limit All>\n    Order deny,allow\n"
                                 "    Allow all\n  </Limit>\n</Policy>\n");
    Write(f + "/cups-files.conf",
          "CacheDir " + f +
              "/cache\nDataDir /usr/share/cups\nDocumentRoot /usr/share/cups/doc-root\n"
              "AccessLog " +
              f + "/log/access_log\nErrorLog " + f +
              "/log/error_log\n"
              "PageLog " +
              f + "/log/page_log\nRequestRoot " + f +
              "/spool\nServerBin /usr/lib/cups\n"
              "ServerRoot " +
              f + "\nStateDir " + f + "/state\nTempDir " + f +
              "/spool/tmp\n"
              "User " +
              user + "\nGroup " + group +
              "\nSystemGroup root\nSandboxing Relaxed\n"
              "FileDevice No\n");
    m_cupsd = Spawn(kCupsd, {"-f", "-c", f + "/cupsd.conf", "-s", f + "/cups-files.conf"});
    const std::string socket = f + "/cups.sock";
    ::setenv("CUPS_SERVER", socket.c_str(), 1);
    for (int i = 0; i < 100; ++i) {
        if (std::filesystem::exists(socket) && Run("lpstat", {"-r"}) == 0) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    m_whyNot = "the private CUPS scheduler did not start (see " + f + "/log/error_log)";
}

void PrivateSpooler::Kill() {
    if (m_cupsd <= 0) return;
    ::kill(m_cupsd, SIGKILL);
    ::waitpid(m_cupsd, nullptr, 0);
    m_cupsd = -1;
}

void PrivateSpooler::Pause(bool paused) {
    if (m_cupsd > 0) ::kill(m_cupsd, paused ? SIGSTOP : SIGCONT);
}

PrivateSpooler::~PrivateSpooler() {
    if (m_cupsd > 0) {
        ::kill(m_cupsd, SIGCONT);
        ::kill(m_cupsd, SIGTERM);
        ::waitpid(m_cupsd, nullptr, 0);
    }
    ::unsetenv("CUPS_SERVER");
    if (!m_folder.empty() && m_whyNot.empty()) std::filesystem::remove_all(m_folder);
}

int PrivateSpooler::Run(const std::string& program, const std::vector<std::string>& arguments) {
    const pid_t child = Spawn(program, arguments);
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}
