#pragma once

#include "cli/BookListCommand.h"

namespace plinth::cli {

// `advise BOOK...`: what a conversion into each pair of offered sizes would
// produce, the book's own pair and the pair that suits it best.
class AdviseCommand final : public BookListCommand {
  public:
    const char* Name() const override { return "advise"; }
    const char* Description() const override {
        return "Predict the conversion of books into every pair of sizes and recommend one";
    }
    void AddOptions(CLI::App& subcommand) override;

  private:
    int RunOnBook(const std::string& path, size_t index, CliStreams& streams) override;
};

}  // namespace plinth::cli
