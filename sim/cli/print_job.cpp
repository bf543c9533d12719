#include "cli/print_job.h"

#include <iterator>

#include "host/unix_socket.h"

namespace sim {

long PrintJob(std::istream& file, const std::string& jobSocketPath) {
    UniqueFd channel = ConnectUnix(jobSocketPath);
    if (!channel.Valid()) return -1;
    long commands = 0;
    std::string chunk;
    for (std::istreambuf_iterator<char> it(file), end; it != end; ++it) {
        chunk.push_back(*it);
        if (*it != ';') continue;
        chunk.push_back('\0');
        if (!SendAll(channel.Get(), chunk.data(), chunk.size())) return -1;
        chunk.clear();
        ++commands;
    }
    return commands;  // closing the channel ends the document
}

}  // namespace sim
