#include "cli/InfoCommand.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "book/OpenBookState.h"
#include "cli/CliConsole.h"

namespace plinth::cli {
namespace {

using Rows = std::vector<std::pair<std::string, std::string>>;

void PrintTable(std::ostream& out, const Rows& rows) {
    size_t width = std::string_view("Field").size();
    for (const auto& [field, value] : rows) {
        width = std::max(width, field.size());
    }
    const auto printRow = [&out, width](std::string_view field, std::string_view value) {
        out << field << std::string(width + 2 - field.size(), ' ') << value << '\n';
    };
    printRow("Field", "Value");
    for (const auto& [field, value] : rows) {
        printRow(field, value);
    }
}

void PrintJson(std::ostream& out, const Rows& rows) {
    nlohmann::ordered_json object = nlohmann::ordered_json::object();
    for (const auto& [field, value] : rows) {
        object[field] = value;
    }
    out << object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
}

}  // namespace

void InfoCommand::AddOptions(CLI::App& subcommand) {
    subcommand.add_option("books", m_books, "Book files")->required();
    subcommand.add_flag("--json", m_json, "One JSON object per book, keyed by the field names");
}

int InfoCommand::Run(CliStreams& streams) {
    int status = kExitSuccess;
    bool first = true;
    for (const std::string& path : m_books) {
        // Error messages go to stderr, so that stdout holds only the tables.
        CliConsole console(streams.err, nullptr);
        OpenBookState book(console);
        if (!book.OpenBook(path)) {
            status = kExitFailure;
            continue;
        }
        if (m_json) {
            PrintJson(streams.out, console.Attributes());
        } else {
            if (!first) {
                streams.out << '\n';
            }
            PrintTable(streams.out, console.Attributes());
        }
        first = false;
    }
    return status;
}

}  // namespace plinth::cli
