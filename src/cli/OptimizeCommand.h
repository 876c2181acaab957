#pragma once

#include <optional>
#include <string>

#include "cli/Command.h"
#include "maintenance/ConversionPrediction.h"

namespace plinth::cli {

// `optimize BOOK`: converts the book to a new record size and hash index size,
// in place with a backup, or into a new file.
class OptimizeCommand final : public Command {
  public:
    const char* Name() const override { return "optimize"; }
    const char* Description() const override {
        return "Rebuild a book with a new record size and hash index size, repairing it";
    }
    void AddOptions(CLI::App& subcommand) override;
    int Run(CliStreams& streams) override;
    // The text of a dry run is its result; that of a conversion, its log.
    bool PrintsItsResult() const override { return m_dryRun; }

  private:
    // The conversion's findings and the prediction of the new book; nothing is
    // written.
    int DryRun(CliStreams& streams);
    // A reason not to start, or an empty text.
    std::string CheckPaths(IFileSystem& files) const;
    std::string CheckOutputPath(const std::string& output) const;

    std::string m_book;
    std::optional<int> m_recordSize;  // none: the preselection for the book
    std::optional<int> m_hashIndexSize;
    std::optional<std::string> m_output;
    bool m_quiet = false;
    bool m_dryRun = false;
};

}  // namespace plinth::cli
