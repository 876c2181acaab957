#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/Command.h"

namespace plinth::cli {

// A command that takes books one by one, in the order given, each on its own:
// the exit status is the worst of the books' statuses.
class BookListCommand : public Command {
  public:
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

    size_t BookCount() const { return m_books.size(); }
    bool Json() const { return m_json; }

  private:
    std::vector<std::string> m_books;
    bool m_json = false;
};

}  // namespace plinth::cli
