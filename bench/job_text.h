#pragma once
// Job files for the benchmarks, written like the CAM output the program gets
// (a PA/VS/!VZ/!PZ/!MC1 header, PU then "Z x,y,z" trace moves in 0.01 mm
// steps, a footer that parks and stops the spindle), so that command lengths
// and the density of ';' are those of real jobs, not of a synthetic pattern.
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace bench {

// Writes about `bytes` bytes (a few hundred over at most) of job text to `path`, unless a
// file of at least that size is there already. False when it cannot be written.
inline bool MakeJobFile(const std::string& path, std::uint64_t bytes) {
    struct stat st;
    if (::stat(path.c_str(), &st) == 0 && std::uint64_t(st.st_size) >= bytes) return true;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const char* header = "PA;PA;VS10;!VZ10;!PZ0,200;!MC1;\n";
    const char* footer = "PA;PA;!PZ0,6050;PU0,15240;!MC0;\n";
    std::string text = header;
    std::uint64_t written = 0;
    std::uint32_t seed = 12345;
    const auto next = [&seed](int range) {
        seed = seed * 1664525u + 1013904223u;
        return int((seed >> 8) % std::uint32_t(range));
    };
    char line[64];
    const std::uint64_t body = bytes - std::string(footer).size();
    while (written + text.size() < body) {
        // One trace: lift to its start, then about twenty short cuts.
        int x = 400 + next(800), y = 1500 + next(400);
        std::snprintf(line, sizeof line, "PU%d,%d;\n", x, y);
        text += line;
        for (int i = 10 + next(20); i > 0; --i) {
            x += next(61) - 30;
            y += next(61) - 30;
            std::snprintf(line, sizeof line, "Z%d,%d,-10;\n", x, y);
            text += line;
        }
        if (text.size() > (1u << 20)) {
            std::fwrite(text.data(), 1, text.size(), file);
            written += text.size();
            text.clear();
        }
    }
    text += footer;
    const bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && ok;
}

}  // namespace bench
