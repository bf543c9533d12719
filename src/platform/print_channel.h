#pragma once
// Where the bytes of one document go: a queue of the system's print spooler,
// or the driver library's own way to the machine. The print queue above it
// keeps the spooler's call order and buffers the writes.
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

namespace platform {

class PrintChannel {
public:
    virtual ~PrintChannel() = default;
    // Begins one document; false when it is refused.
    virtual bool Start() = 0;
    // Hands the bytes on, waiting for a busy machine for as long as `abandon`
    // says no (without one: until nothing moves for 30 s); a spooler that
    // takes nothing for 15 s is given up on. False on failure.
    virtual bool Send(const char* bytes, std::size_t length,
                      const std::function<bool()>& abandon) = 0;
    // Ends the document: true when all of it was taken. `completed` false:
    // the document was given up, and nothing of it may reach the machine
    // that has not reached it yet.
    virtual bool Finish(bool completed) = 0;
};

// The spooler's queue for the machine: the destination whose description is
// `machineName`, else the one named like it with '_' for each space. Null when
// there is none, or no spooler answers.
std::unique_ptr<PrintChannel> OpenSpoolerQueue(const std::string& machineName);

// Whether the spooler still holds a document of this user for the machine's
// queue (waiting, or going to the machine): a finished document may take a
// moment to reach the machine.
bool SpoolerHoldsDocuments(const std::string& machineName);

// After a Stop: cancels every document of this user that the spooler holds
// for the machine's queue, so that it does not go on feeding the machine, and
// waits (a few seconds at most) until it has ended them. True when one of them
// was going to the machine (what it wrote meanwhile may need clearing).
bool CancelSpooledDocuments(const std::string& machineName);

}  // namespace platform
