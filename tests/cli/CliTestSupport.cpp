#include "CliTestSupport.h"

#include <sstream>

#include "cli/Command.h"

namespace plinth::test {

CliRun RunCliCapture(const std::vector<std::string>& args) {
    std::vector<const char*> argv = {"plinth-cli"};
    for (const std::string& arg : args) {
        argv.push_back(arg.c_str());
    }
    std::ostringstream out;
    std::ostringstream err;
    cli::CliStreams streams{out, err, false};
    CliRun run;
    run.status = cli::RunCli(static_cast<int>(argv.size()), argv.data(), streams);
    run.out = out.str();
    run.err = err.str();
    return run;
}

}  // namespace plinth::test
