#pragma once
// Job text for the benchmarks, written like the CAM output the program gets
// (a PA/VS/!VZ/!PZ/!MC1 header, PU then "Z x,y,z" trace moves in 0.01 mm
// steps, a footer that parks and stops the spindle), so that command lengths
// and the density of ';' are those of real jobs, not of a synthetic pattern.
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace bench {

inline constexpr const char* kJobHeader = "PA;PA;VS10;!VZ10;!PZ0,200;!MC1;\n";
inline constexpr const char* kJobFooter = "PA;PA;!PZ0,6050;PU0,15240;!MC0;\n";

// Appends one trace: a lift to its start, then ten to thirty short cuts.
class TraceWriter {
public:
    void Append(std::string& text) {
        int x = 400 + Next(800), y = 1500 + Next(400);
        char line[64];
        std::snprintf(line, sizeof line, "PU%d,%d;\n", x, y);
        text += line;
        for (int i = 10 + Next(20); i > 0; --i) {
            x += Next(61) - 30;
            y += Next(61) - 30;
            std::snprintf(line, sizeof line, "Z%d,%d,-10;\n", x, y);
            text += line;
        }
    }

private:
    int Next(int range) {
        m_seed = m_seed * 1664525u + 1013904223u;
        return int((m_seed >> 8) % std::uint32_t(range));
    }
    std::uint32_t m_seed = 12345;
};

// A whole job of about `bytes` bytes (a trace's length over at most).
inline std::string JobText(std::uint64_t bytes) {
    std::string text = kJobHeader;
    TraceWriter traces;
    while (text.size() < bytes) traces.Append(text);
    return text + kJobFooter;
}

// Writes such a job to `path`, unless a file of at least that size is there
// already. False when it cannot be written.
inline bool MakeJobFile(const std::string& path, std::uint64_t bytes) {
    struct stat st;
    if (::stat(path.c_str(), &st) == 0 && std::uint64_t(st.st_size) >= bytes) return true;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    std::string text = kJobHeader;
    TraceWriter traces;
    bool ok = true;
    for (std::uint64_t written = 0; ok && written + text.size() < bytes;) {
        traces.Append(text);
        if (text.size() > (1u << 20)) {
            ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
            written += text.size();
            text.clear();
        }
    }
    text += kJobFooter;
    ok = ok && std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && ok;
}

}  // namespace bench
