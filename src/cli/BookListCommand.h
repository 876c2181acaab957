#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "cli/Command.h"
#include "maintenance/OptimizeSettings.h"

namespace plinth::cli {

// A pair of sizes in a command's JSON: {"recordSize": R, "hashIndexSize": H}, or
// null.
nlohmann::ordered_json PairJson(const std::optional<SizePair>& pair);

// A command that takes books one by one, in the order given, each on its own:
// the exit status is the worst of the books' statuses. Each book's text is
// written out as soon as it is whole.
class BookListCommand : public Command {
  public:
    using Command::Command;
    int Run(CliStreams& streams) final;

  protected:
    // The book arguments and the --json flag, with the help text of the flag.
    void AddBookOptions(CLI::App& subcommand, const char* jsonHelp);
    // Runs the command on the book at `path`, the `index`-th given; gives its
    // exit status.
    virtual int RunOnBook(const std::string& path, size_t index, CliStreams& streams) = 0;

    // Writes one JSON object on a line of its own (JSON Lines); bytes that are no
    // UTF-8 are replaced.
    static void PrintJson(std::ostream& out, const nlohmann::ordered_json& object);
    // Where the text of several books follows each other, the heading of the
    // book at `path`: "==> BOOK <==".
    void PrintHeading(std::ostream& out, const std::string& path) const;

    size_t BookCount() const { return m_books.size(); }
    bool Json() const { return m_json; }

  private:
    std::vector<std::string> m_books;
    bool m_json = false;
};

}  // namespace plinth::cli
