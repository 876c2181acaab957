#pragma once

#include "cli/BookListCommand.h"

namespace plinth::cli {

// `info BOOK...`: the header attributes of each book, as a table or as JSON.
class InfoCommand final : public BookListCommand {
  public:
    const char* Name() const override { return "info"; }
    const char* Description() const override { return "Show the header attributes of books"; }
    void AddOptions(CLI::App& subcommand) override;

  private:
    int RunOnBook(const std::string& path, size_t index, CliStreams& streams) override;
    bool m_printedTable = false;
};

}  // namespace plinth::cli
