#include <algorithm>

#include "book/DisplayText.h"
#include "cli/BookListCommand.h"
#include "cli/CliConsole.h"

namespace plinth::cli {
namespace {

// `info BOOK...`: the header attributes of each book, as a table or as JSON.
class InfoCommand final : public BookListCommand {
  public:
    InfoCommand() : BookListCommand("info", "Show the header attributes of books") {}
    void AddOptions(CLI::App& subcommand) override;

  private:
    int RunOnBook(const std::string& path, size_t index, CliStreams& streams) override;
    bool m_printedTable = false;
};

void PrintTable(std::ostream& out, const std::vector<AttributeRow>& rows) {
    size_t width = std::string_view("Field").size();
    for (const auto& [field, value] : rows) {
        width = std::max(width, field.size());
    }
    const auto printRow = [&out, width](std::string_view field, std::string_view value) {
        // A book's texts may hold anything: a row stays one row on a terminal.
        out << field << std::string(width + 2 - field.size(), ' ') << OnOneLine(value) << '\n';
    };
    printRow("Field", "Value");
    for (const auto& [field, value] : rows) {
        printRow(field, value);
    }
}

}  // namespace

void InfoCommand::AddOptions(CLI::App& subcommand) {
    AddBookOptions(subcommand, "One JSON object per book, keyed by the field names");
}

int InfoCommand::RunOnBook(const std::string& path, size_t /*index*/, CliStreams& streams) {
    // Error messages go to stderr, so that stdout holds only the tables.
    CommandBook book(path, streams.err, nullptr, streams.files);
    if (!book.Opened()) {
        return kExitFailure;
    }
    const std::vector<AttributeRow> rows = AttributeRows(book.Book());
    if (Json()) {
        nlohmann::ordered_json object = nlohmann::ordered_json::object();
        for (const auto& [field, value] : rows) {
            object[field] = value;
        }
        PrintJson(streams.out, object);
    } else {
        if (m_printedTable) {
            streams.out << '\n';
        }
        PrintTable(streams.out, rows);
        m_printedTable = true;
    }
    return kExitSuccess;
}

std::unique_ptr<Command> MakeInfoCommand() { return std::make_unique<InfoCommand>(); }

}  // namespace plinth::cli
