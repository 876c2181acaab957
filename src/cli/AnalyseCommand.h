#pragma once

#include "cli/BookListCommand.h"

namespace plinth::cli {

// `analyse BOOK...`: the console text of the analysis of each book, or a JSON
// object per book.
class AnalyseCommand final : public BookListCommand {
  public:
    const char* Name() const override { return "analyse"; }
    const char* Description() const override {
        return "Walk every chain of books, report damage and measure the chains";
    }
    void AddOptions(CLI::App& subcommand) override;

  private:
    int RunOnBook(const std::string& path, size_t index, CliStreams& streams) override;
    bool m_quiet = false;
};

}  // namespace plinth::cli
