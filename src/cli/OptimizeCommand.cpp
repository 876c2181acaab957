#include <filesystem>
#include <optional>
#include <string>

#include "cli/CliConsole.h"
#include "cli/Command.h"
#include "maintenance/BookExchange.h"
#include "maintenance/BookOptimization.h"
#include "maintenance/ConversionPrediction.h"
#include "maintenance/OptimizeSettings.h"

namespace plinth::cli {
namespace {

// `optimize BOOK`: converts the book to a new record size and hash index size,
// in place with a backup, or into a new file.
class OptimizeCommand final : public Command {
  public:
    OptimizeCommand()
        : Command("optimize",
                  "Rebuild a book with a new record size and hash index size, repairing it") {}
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
    std::optional<int> m_inputRecordSize;  // none: the header's
    std::optional<std::string> m_output;
    bool m_quiet = false;
    bool m_dryRun = false;
};

// Accepts exactly the decimal spelling of a size of the table, so that "0x400",
// "+1024" or " 1024" are refused as clearly as "big".
CLI::Validator OfferedSize(std::span<const int> table) {
    const std::vector<int> sizes = OfferedSizes(table);
    std::string list;
    std::string set;
    for (const int size : sizes) {
        list += (list.empty() ? "" : ", ") + std::to_string(size);
        set += (set.empty() ? "{" : ",") + std::to_string(size);
    }
    return {[sizes, list](const std::string& text) -> std::string {
                for (const int size : sizes) {
                    if (text == std::to_string(size)) {
                        return {};
                    }
                }
                return "\"" + text + "\" is not one of " + list;
            },
            set + "}"};
}

bool IsConversionFileName(const std::string& path) {
    return path.ends_with(kNewBookSuffix) || path.ends_with(kBackupSuffix);
}

}  // namespace

void OptimizeCommand::AddOptions(CLI::App& subcommand) {
    subcommand.add_option("book", m_book, "Book file")->required();
    subcommand
        .add_option("--record-size", m_recordSize,
                    "New record size (default: the book's own when offered, else 1024)")
        ->check(OfferedSize(kRecordSizeTable));
    subcommand
        .add_option("--hash-size", m_hashIndexSize,
                    "New hash index size (default: the book's own when offered, else 1024)")
        ->check(OfferedSize(kHashIndexSizeTable));
    subcommand
        .add_option("--input-record-size", m_inputRecordSize,
                    "Read the book as records of this size, for a header whose record size is "
                    "damaged (analyse names the size)")
        ->check(OfferedSize(kRecordSizeTable));
    subcommand.add_option("--output", m_output,
                          "Write the new book to this new file and leave the book as it is");
    subcommand.add_flag("--quiet,-q", m_quiet, "No progress bar");
    subcommand.add_flag("--dry-run", m_dryRun,
                        "Tell what the conversion would find and produce; change nothing");
}

std::string OptimizeCommand::CheckPaths(IFileSystem& files) const {
    if (IsConversionFileName(m_book)) {
        return "plinth-cli: " + m_book +
               " is a file of an earlier conversion; rename it to open it as a book";
    }
    if (m_output) {
        return CheckOutputPath(*m_output);
    }
    // A book that cannot be read is for the reader to report.
    const std::optional<std::string> problem =
        files.TypeOf(m_book) == FileType::Regular && files.Permits(m_book, Access::Read)
            ? InPlaceProblem(files, m_book)
            : std::nullopt;
    return problem ? "plinth-cli: " + *problem : std::string();
}

std::string OptimizeCommand::CheckOutputPath(const std::string& output) const {
    namespace fs = std::filesystem;
    std::error_code error;
    if (output.empty()) {
        return "plinth-cli: --output needs the name of a new file";
    }
    if (IsConversionFileName(output)) {
        return "plinth-cli: " + output +
               " is a name that conversions use for their own files; choose another for --output";
    }
    if (fs::exists(output, error) || fs::is_symlink(output, error)) {
        return "plinth-cli: " + output + " exists already; choose a new file for --output";
    }
    if (fs::weakly_canonical(output, error) == fs::weakly_canonical(m_book, error)) {
        return "plinth-cli: --output must not be the book itself";
    }
    return {};
}

int OptimizeCommand::DryRun(CliStreams& streams) {
    CommandBook book(m_book, streams.out, nullptr, streams.files);
    if (!book.Opened()) {
        return kExitFailure;
    }
    IConsole& console = book.Console();
    try {
        if (m_inputRecordSize) {
            book.Book().ReadAsRecordsOf(static_cast<uint16_t>(*m_inputRecordSize));
        }
    } catch (const BookFatalError&) {
        return kExitFailure;
    }
    const BookHeader& header = book.Book().InputHeader();
    const SizePair sizes = ChosenSizes(m_recordSize, m_hashIndexSize, header);
    if (auto refusal = CheckNewGeometry(header, sizes.recordSize, sizes.hashIndexSize)) {
        streams.err << *refusal << '\n';
        return kExitRefused;
    }
    ReportRecordSizeRead(console, book.Book());
    PrintLog(console, "Converting....");
    try {
        const Prediction prediction = PredictConversions(book.Book(), {&sizes, 1}, console).front();
        if (prediction.outcome == Prediction::Outcome::Empty) {
            ReportNoPositionRead(console, book.Book());
            return kExitRefused;
        }
        PrintLog(console,
                 "\nDry run, nothing was written. Record size %d, hash index size %d:\n%s\n",
                 sizes.recordSize, sizes.hashIndexSize, DescribePrediction(prediction).c_str());
        if (prediction.outcome != Prediction::Outcome::Fits) {
            return kExitRefused;
        }
        PrintChainLengths(console, prediction.lengths);
        return kExitSuccess;
    } catch (const BookFatalError&) {
        return kExitFailure;
    }
}

int OptimizeCommand::Run(CliStreams& streams) {
    if (m_dryRun) {
        if (m_output) {
            streams.err << "plinth-cli: --dry-run writes nothing; leave out --output\n";
            return kExitFailure;
        }
        return DryRun(streams);
    }
    if (const std::string reason = CheckPaths(streams.files); !reason.empty()) {
        streams.err << reason << '\n';
        return kExitFailure;
    }
    CliConsole console(streams.out, streams.errIsTerminal && !m_quiet ? &streams.err : nullptr);
    BookReader book(console, streams.files);
    // The book's lock comes first; running the tool again is how a user recovers
    // from a conversion that was cut off in the middle of the exchange.
    const OptimizeResult result = OptimizeBookAt(
        book, m_book, {m_recordSize, m_hashIndexSize, m_output, Threads::All, m_inputRecordSize});
    switch (result.outcome) {
        case OptimizeOutcome::Converted:
            return kExitSuccess;
        case OptimizeOutcome::Refused:
            streams.err << result.refusal << '\n';
            return kExitRefused;
        case OptimizeOutcome::DoesNotFit:
        case OptimizeOutcome::NothingRead:
            return kExitRefused;
        case OptimizeOutcome::NotLocked:
            streams.err << result.refusal;
            return kExitFailure;
        default:
            return kExitFailure;
    }
}

std::unique_ptr<Command> MakeOptimizeCommand() { return std::make_unique<OptimizeCommand>(); }

}  // namespace plinth::cli
