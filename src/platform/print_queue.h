#pragma once
// The print queue through which job data reaches the machine, with the
// spooler's call order: open the queue, start a raw document, start a page,
// write, end the page, end the document, close. Its channel is the print
// spooler's (CUPS) queue of the machine, or the driver library's Write where
// the machine has none. One document is one spooler job.
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/print_channel.h"

namespace platform {

class PrintQueue {
public:
    explicit PrintQueue(std::unique_ptr<PrintChannel> channel);
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

private:
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
