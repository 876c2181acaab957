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

// The header attributes of the book, in the order of the table's rows: texts as
// texts, numbers as numbers, keys in the style of the other commands' JSON.
nlohmann::ordered_json AttributesJson(const std::string& path, const BookReader& book) {
    const BookHeader& header = book.InputHeader();
    return {{"book", path},
            {"type", book.InputKind() == BookKind::Standard ? "standard" : "with-statistics"},
            {"revision", DisplayText(RevisionText(header))},
            {"comment", DisplayText(book.Comment().value_or(""))},
            {"hashIndexSize", header.hashIndexSize},
            {"recordSize", header.recordSize},
            {"recordCount", header.recordCount},
            {"totalPositions", header.totalPositions},
            {"totalMoves", header.totalMoves},
            {"attributes", header.attributes},
            // Without slots there is no average.
            {"averageChainLength",
             header.hashIndexSize == 0
                 ? nlohmann::ordered_json(nullptr)
                 : nlohmann::ordered_json(static_cast<double>(header.recordCount) /
                                          header.hashIndexSize)}};
}

}  // namespace

void InfoCommand::AddOptions(CLI::App& subcommand) {
    AddBookOptions(subcommand, "One JSON object per book instead of the table");
}

int InfoCommand::RunOnBook(const std::string& path, size_t /*index*/, CliStreams& streams) {
    // Error messages go to stderr, so that stdout holds only the tables.
    CommandBook book(path, streams.err, nullptr, streams.files);
    if (!book.Opened()) {
        return kExitFailure;
    }
    if (Json()) {
        PrintJson(streams.out, AttributesJson(path, book.Book()));
    } else {
        if (m_printedTable) {
            streams.out << '\n';
        }
        PrintTable(streams.out, AttributeRows(book.Book()));
        m_printedTable = true;
    }
    return kExitSuccess;
}

std::unique_ptr<Command> MakeInfoCommand() { return std::make_unique<InfoCommand>(); }

}  // namespace plinth::cli
