#pragma once
// The print queue through which job data reaches the machine, with the
// spooler's call order: open the queue by name, start a raw document, start a
// page, write, end the page, end the document, close. The queue of a machine
// is the print spooler's (CUPS) destination described by its name, or named
// like it with '_' for the spaces; without one, the simulated machine's own
// job channel: the Unix socket "<name>.job" in the machine folder
// (TARNWICK_SIM_DIR, else $XDG_RUNTIME_DIR/tarnwick-sim, else
// /tmp/tarnwick-sim-<uid>). One document is one spooler job, or one connection.
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/print_channel.h"

namespace platform {

class PrintQueue {
public:
    // Null when no queue of that name exists (no spooler queue, no machine serves it).
    static std::unique_ptr<PrintQueue> Open(const std::string& name);
    ~PrintQueue();  // closes, ending an open document first
    PrintQueue(const PrintQueue&) = delete;
    PrintQueue& operator=(const PrintQueue&) = delete;

    bool StartDocument(const std::string& documentName, const std::string& dataType);
    bool StartPage();
    // Buffered: many small writes cost one system call per buffer, and every
    // byte reaches the machine, in order, by the end of the document.
    bool Write(const void* data, std::size_t length);
    bool EndPage();
    bool EndDocument();

    // While a write waits for a busy machine, `abandon` is asked about ten
    // times a second; once it says yes, that write fails and the rest of the
    // document is dropped. Without it, a machine that takes no data for 30 s
    // is taken as gone.
    void SetAbandonCheck(std::function<bool()> abandon) { m_abandon = std::move(abandon); }

    // The folder that holds the machines' channels.
    static std::string MachineFolder();

private:
    explicit PrintQueue(std::unique_ptr<PrintChannel> channel);
    bool Flush();
    bool Send(const char* bytes, std::size_t length);

    std::unique_ptr<PrintChannel> m_channel;
    bool m_inDocument = false;
    bool m_inPage = false;
    bool m_failed = false;  // a write failed: the rest of the document is dropped
    std::vector<char> m_buffer;
    std::function<bool()> m_abandon;
};

}  // namespace platform
