#include "CliTestSupport.h"

#include <sstream>

namespace plinth::test {

int RunCli(const std::vector<std::string>& args, cli::CliStreams& streams) {
    std::vector<const char*> argv = {"plinth-cli"};
    for (const std::string& arg : args) {
        argv.push_back(arg.c_str());
    }
    return cli::RunCli(static_cast<int>(argv.size()), argv.data(), streams);
}

CliRun RunCliCapture(const std::vector<std::string>& args) {
    std::ostringstream out;
    std::ostringstream err;
    cli::CliStreams streams{out, err, false};
    CliRun run;
    run.status = RunCli(args, streams);
    run.out = out.str();
    run.err = err.str();
    return run;
}

}  // namespace plinth::test
