#include "integration/private_spooler.h"

#include <pwd.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <thread>

#include "platform/print_channel.h"

namespace {

constexpr const char* kCupsd = "/usr/sbin/cupsd";

// Writes `text` with each '@' replaced by `folder`.
void WriteConf(const std::string& path, std::string text, const std::string& folder) {
    for (std::size_t at; (at = text.find('@')) != std::string::npos;) text.replace(at, 1, folder);
    std::ofstream(path) << text;
}

}  // namespace

PrivateSpooler::PrivateSpooler() {
    // The scheduler, and the backend that sends a queue's jobs to a network port.
    if (::access(kCupsd, X_OK) != 0 || ::access("/usr/lib/cups/backend/socket", F_OK) != 0) {
        m_whyNot = "no CUPS scheduler with its socket backend here (Debian package cups)";
        return;
    }
    const bool root = ::geteuid() == 0;
    const passwd* user = root ? ::getpwnam("lp") : ::getpwuid(::geteuid());
    if (!user) {
        m_whyNot = "no user for the scheduler's backends (lp, as root)";
        return;
    }
    char pattern[] = "/tmp/tcups-XXXXXX";  // short: a socket path has a length limit
    m_folder = ::mkdtemp(pattern);
    namespace fs = std::filesystem;
    for (const char* sub : {"/cache", "/log", "/spool/tmp", "/state"})
        fs::create_directories(m_folder + sub);
    fs::permissions(m_folder, fs::perms(0755));
    fs::permissions(m_folder + "/spool/tmp", fs::perms(01777));
    if (root)  // the backends, as lp, write and read here too
        for (const char* sub : {"/cache", "/spool", "/state"})
            fs::permissions(m_folder + sub, fs::perms::all);
    WriteConf(m_folder + "/cupsd.conf", R"(Listen @/cups.sock
Browsing No
PreserveJobFiles Yes
<Policy default>
<Limit All>
Order deny,allow
Allow all
</Limit>
</Policy>
)",
              m_folder);
    WriteConf(m_folder + "/cups-files.conf",
              R"(ServerRoot @
CacheDir @/cache
StateDir @/state
RequestRoot @/spool
AccessLog @/log/access_log
ErrorLog @/log/error_log
PageLog @/log/page_log
User )" + std::string(user->pw_name) +
                  "\nGroup " + std::to_string(user->pw_gid) + "\n",
              m_folder);
    const std::string conf = m_folder + "/cupsd.conf", files = m_folder + "/cups-files.conf";
    m_cupsd = ::fork();
    if (m_cupsd == 0) {
        ::execl(kCupsd, kCupsd, "-f", "-c", conf.c_str(), "-s", files.c_str(), nullptr);
        std::_Exit(127);
    }
    const std::string socket = m_folder + "/cups.sock";
    ::setenv("CUPS_SERVER", socket.c_str(), 1);
    for (int i = 0; i < 100; ++i) {
        if (fs::exists(socket) && Run("lpstat -r") == 0) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    m_whyNot = "the private CUPS scheduler did not start (see " + m_folder + "/log/error_log)";
}

PrivateSpooler::~PrivateSpooler() {
    if (m_cupsd > 0) {
        Signal(SIGCONT);
        Signal(SIGTERM);
        ::waitpid(m_cupsd, nullptr, 0);
    }
    ::unsetenv("CUPS_SERVER");
    if (!m_folder.empty() && m_whyNot.empty()) std::filesystem::remove_all(m_folder);
}

void PrivateSpooler::Signal(int signal) const {
    if (m_cupsd > 0) ::kill(m_cupsd, signal);
}

std::vector<std::string> PrivateSpooler::Documents() const {
    std::vector<std::string> names, documents;
    for (const auto& entry : std::filesystem::directory_iterator(m_folder + "/spool"))
        if (entry.path().filename().string().ends_with("-001")) names.push_back(entry.path());
    std::sort(names.begin(), names.end());  // d<job number, 5 digits>-001
    for (const std::string& name : names) {
        std::ifstream file(name, std::ios::binary);
        documents.emplace_back(std::istreambuf_iterator<char>(file),
                               std::istreambuf_iterator<char>());
    }
    return documents;
}

int PrivateSpooler::Run(const std::string& command) {
    const int status = std::system((command + " >/dev/null").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool PrivateSpooler::HoldsDocumentsFor(const std::string& machine) {
    return std::async(std::launch::async, [&] { return platform::SpoolerHoldsDocuments(machine); })
        .get();
}
