#include "cli/OptimizeCommand.h"

#include <filesystem>

#include "cli/CliConsole.h"
#include "maintenance/BookOptimization.h"
#include "maintenance/OptimizeSettings.h"

namespace plinth::cli {
namespace {

std::vector<int> Sizes(std::span<const int> table) {
    std::vector<int> sizes;
    for (const int size : table) {
        if (size > 0) {
            sizes.push_back(size);
        }
    }
    return sizes;
}

bool EndsWith(const std::string& text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

void OptimizeCommand::AddOptions(CLI::App& subcommand) {
    subcommand.add_option("book", m_book, "Book file")->required();
    subcommand
        .add_option("--record-size", m_recordSize,
                    "New record size (default: the book's own when offered, else 1024)")
        ->check(CLI::IsMember(Sizes(kRecordSizeTable)));
    subcommand
        .add_option("--hash-size", m_hashIndexSize,
                    "New hash index size (default: the book's own when offered, else 1024)")
        ->check(CLI::IsMember(Sizes(kHashIndexSizeTable)));
    subcommand.add_option("--output", m_output,
                          "Write the new book to this new file and leave the book as it is");
    subcommand.add_flag("--quiet,-q", m_quiet, "No progress bar");
}

std::string OptimizeCommand::CheckPaths() const {
    namespace fs = std::filesystem;
    std::error_code error;
    if (EndsWith(m_book, kNewBookSuffix) || EndsWith(m_book, kBackupSuffix)) {
        return "plinth-cli: " + m_book +
               " is a file of an earlier conversion; rename it to open it as a book";
    }
    if (fs::is_directory(m_book, error)) {
        return "plinth-cli: " + m_book + " is a folder, not a book";
    }
    if (!m_output.empty()) {
        if (fs::exists(m_output, error) || fs::is_symlink(m_output, error)) {
            return "plinth-cli: " + m_output + " exists already; choose a new file for --output";
        }
        if (fs::weakly_canonical(m_output, error) == fs::weakly_canonical(m_book, error)) {
            return "plinth-cli: --output must not be the book itself";
        }
    }
    return {};
}

int OptimizeCommand::Run(CliStreams& streams) {
    if (const std::string reason = CheckPaths(); !reason.empty()) {
        streams.err << reason << '\n';
        return kExitFailure;
    }
    CliConsole console(streams.out, streams.errIsTerminal && !m_quiet ? &streams.err : nullptr);
    // Running the tool again is how a user recovers from a conversion that was
    // cut off in the middle of the exchange.
    RestoreBookAfterCutOffConversion(SystemFileSystem(), console, m_book);
    OpenBookState book(console);
    if (!book.OpenBook(m_book)) {
        return kExitFailure;
    }
    OptimizeRequest request;
    request.recordSize = m_recordSize != 0
                             ? m_recordSize
                             : PreselectedSize(kRecordSizeTable, book.InputHeader().recordSize);
    request.hashIndexSize =
        m_hashIndexSize != 0
            ? m_hashIndexSize
            : PreselectedSize(kHashIndexSizeTable, book.InputHeader().hashIndexSize);
    if (!m_output.empty()) {
        request.outputPath = m_output;
    }
    const OptimizeResult result = OnOptimize(book, request);
    switch (result.outcome) {
        case OptimizeOutcome::Converted:
            return kExitSuccess;
        case OptimizeOutcome::Refused:
            streams.err << result.refusal << '\n';
            return kExitRefused;
        default:
            return kExitFailure;
    }
}

}  // namespace plinth::cli
