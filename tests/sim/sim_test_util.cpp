#include "sim_test_util.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace simtest {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace simtest
