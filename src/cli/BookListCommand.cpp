#include "cli/BookListCommand.h"

#include <algorithm>

namespace plinth::cli {

void BookListCommand::AddBookOptions(CLI::App& subcommand, const char* jsonHelp) {
    subcommand.add_option("books", m_books, "Book files")->required();
    subcommand.add_flag("--json", m_json, jsonHelp);
}

int BookListCommand::Run(CliStreams& streams) {
    int status = kExitSuccess;
    for (size_t i = 0; i < m_books.size(); ++i) {
        status = std::max(status, RunOnBook(m_books[i], i, streams));
        // Each book's text as soon as it is whole, for a reader that may have
        // all it wants then (`| head`).
        streams.out.flush();
    }
    return status;
}

void BookListCommand::PrintJson(std::ostream& out, const nlohmann::ordered_json& object) {
    out << object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
}

nlohmann::ordered_json PairJson(const std::optional<SizePair>& pair) {
    if (!pair) {
        return nullptr;
    }
    return {{"recordSize", pair->recordSize}, {"hashIndexSize", pair->hashIndexSize}};
}

void BookListCommand::PrintHeading(std::ostream& out, const std::string& path) const {
    if (BookCount() > 1 && !Json()) {
        // Written before the book is read, so that a reader that went away is
        // found out before the reading.
        out << "==> " << path << " <==\n" << std::flush;
    }
}

}  // namespace plinth::cli
