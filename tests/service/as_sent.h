#pragma once
// What the machine receives of a job's text: each command followed by one
// zero byte; whatever follows the last ';' is not sent.
#include <string>

inline std::string AsSent(const std::string& text) {
    std::string sent;
    std::size_t whole = 0;
    for (const char c : text) {
        sent += c;
        if (c == ';') whole = (sent += '\0').size();
    }
    return sent.substr(0, whole);
}
