#pragma once

#include <string>
#include <vector>

#include "cli/Command.h"

namespace plinth::cli {

// `analyse BOOK...`: the console text of the analysis of each book, or a JSON
// object per book.
class AnalyseCommand final : public Command {
  public:
    const char* Name() const override { return "analyse"; }
    const char* Description() const override {
        return "Walk every chain of books, report damage and measure the chains";
    }
    void AddOptions(CLI::App& subcommand) override;
    int Run(CliStreams& streams) override;

  private:
    std::vector<std::string> m_books;
    bool m_json = false;
    bool m_quiet = false;
};

}  // namespace plinth::cli
