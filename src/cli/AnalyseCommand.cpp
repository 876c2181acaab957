#include <algorithm>
#include <array>
#include <sstream>

#include "cli/BookListCommand.h"
#include "cli/CliConsole.h"
#include "maintenance/BookAnalysis.h"

namespace plinth::cli {
namespace {

// `analyse BOOK...`: the console text of the analysis of each book, or a JSON
// object per book.
class AnalyseCommand final : public BookListCommand {
  public:
    AnalyseCommand()
        : BookListCommand("analyse",
                          "Walk every chain of books, report damage and measure the chains") {}
    void AddOptions(CLI::App& subcommand) override;

  private:
    int RunOnBook(const std::string& path, size_t index, CliStreams& streams) override;
    bool m_quiet = false;
};

using Kind = AnalysisFinding::Kind;

// How a finding of each kind is told: its name, and whether it gives the next
// link and the record count ("free").
struct FindingFields {
    Kind kind;
    const char* name;
    bool next;
    bool free;
};
constexpr std::array<FindingFields, 8> kFindingFields = {{
    {Kind::InvalidHashIndexLink, "invalid-hash-index-link", false, true},
    {Kind::FailedRecordCheck, "failed-record-check", false, false},
    {Kind::InvalidChainLink, "invalid-chain-link", true, true},
    {Kind::ChainLoop, "chain-loop", true, false},
    {Kind::SharedRecord, "shared", true, false},
    {Kind::MissingRecord, "missing", true, false},
    {Kind::UnreachedRecord, "unreached", false, false},
    {Kind::CommentOutsideBook, "comment-outside-book", false, false},
}};

nlohmann::ordered_json FindingJson(const AnalysisFinding& finding) {
    const FindingFields& fields =
        *std::find_if(kFindingFields.begin(), kFindingFields.end(),
                      [&](const FindingFields& entry) { return entry.kind == finding.kind; });
    nlohmann::ordered_json object;
    object["kind"] = fields.name;
    if (finding.kind != Kind::UnreachedRecord && finding.kind != Kind::CommentOutsideBook) {
        object["slot"] = finding.slot;
    }
    object["record"] = finding.record;
    if (fields.next) {
        object["next"] = finding.next;
    }
    if (fields.free) {
        object["free"] = finding.free;
    }
    return object;
}

nlohmann::ordered_json ReportJson(const std::string& path, const AnalysisReport& report) {
    nlohmann::ordered_json object;
    object["book"] = path;
    object["longestChain"] = report.lengths.longest;
    object["shortestChain"] = report.lengths.shortest;
    object["errors"] = report.errors;
    object["best"] = PairJson(report.bestSizes);
    object["recommendedHashIndexSize"] =
        report.recommendedHashIndexSize ? nlohmann::ordered_json(*report.recommendedHashIndexSize)
                                        : nlohmann::ordered_json(nullptr);
    nlohmann::ordered_json histogram = nlohmann::ordered_json::object();
    for (const auto& [length, slots] : report.slotsByChainLength) {
        histogram[std::to_string(length)] = slots;
    }
    object["chainLengths"] = histogram;
    nlohmann::ordered_json findings = nlohmann::ordered_json::array();
    for (const AnalysisFinding& finding : report.findings) {
        findings.push_back(FindingJson(finding));
    }
    object["findings"] = findings;
    return object;
}

}  // namespace

void AnalyseCommand::AddOptions(CLI::App& subcommand) {
    AddBookOptions(subcommand, "One JSON object per book instead of the console text");
    subcommand.add_flag("--quiet,-q", m_quiet, "No progress bar");
}

int AnalyseCommand::RunOnBook(const std::string& path, size_t /*index*/, CliStreams& streams) {
    PrintHeading(streams.out, path);
    // In JSON mode the console text is kept for the fatal error's message.
    std::ostringstream kept;
    std::ostream& text = Json() ? kept : streams.out;
    CommandBook book(path, text, streams.errIsTerminal && !m_quiet ? &streams.err : nullptr,
                     streams.files);
    const AnalysisResult result =
        book.Opened() ? AnalyseBook(book.Book()) : AnalysisResult{AnalyseOutcome::FatalError, {}};
    if (result.outcome == AnalyseOutcome::FatalError) {
        if (Json()) {
            PrintJson(streams.out, {{"book", path}, {"fatalError", kept.str()}});
        }
        return kExitFailure;
    }
    if (Json()) {
        PrintJson(streams.out, ReportJson(path, result.report));
    }
    return result.report.errors != 0 ? kExitDamageFound : kExitSuccess;
}

std::unique_ptr<Command> MakeAnalyseCommand() { return std::make_unique<AnalyseCommand>(); }

}  // namespace plinth::cli
