#pragma once

#include <string>
#include <vector>

namespace plinth::test {

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs plinth-cli in-process with `args` (without the program name).
CliRun RunCliCapture(const std::vector<std::string>& args);

}  // namespace plinth::test
