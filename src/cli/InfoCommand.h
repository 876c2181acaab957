#pragma once

#include <string>
#include <vector>

#include "cli/Command.h"

namespace plinth::cli {

// `info BOOK...`: the header attributes of each book, as a table or as JSON.
class InfoCommand final : public Command {
  public:
    const char* Name() const override { return "info"; }
    const char* Description() const override { return "Show the header attributes of books"; }
    void AddOptions(CLI::App& subcommand) override;
    int Run(CliStreams& streams) override;

  private:
    std::vector<std::string> m_books;
    bool m_json = false;
};

}  // namespace plinth::cli
