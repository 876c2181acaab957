#include "cli/AnalyseCommand.h"

#include <sstream>

#include "cli/CliConsole.h"
#include "maintenance/BookAnalysis.h"

namespace plinth::cli {
namespace {

nlohmann::ordered_json FindingJson(const AnalysisFinding& finding) {
    using Kind = AnalysisFinding::Kind;
    nlohmann::ordered_json object;
    const auto put = [&](const char* kind, bool next, bool free) {
        object["kind"] = kind;
        if (finding.kind != Kind::UnreachedRecord) {
            object["slot"] = finding.slot;
        }
        object["record"] = finding.record;
        if (next) {
            object["next"] = finding.next;
        }
        if (free) {
            object["free"] = finding.free;
        }
    };
    switch (finding.kind) {
        case Kind::InvalidHashIndexLink:
            put("invalid-hash-index-link", false, true);
            break;
        case Kind::FailedRecordCheck:
            put("failed-record-check", false, false);
            break;
        case Kind::InvalidChainLink:
            put("invalid-chain-link", true, true);
            break;
        case Kind::ChainLoop:
            put("chain-loop", true, false);
            break;
        case Kind::SharedRecord:
            put("shared", true, false);
            break;
        case Kind::MissingRecord:
            put("missing", true, false);
            break;
        case Kind::UnreachedRecord:
            put("unreached", false, false);
            break;
    }
    return object;
}

nlohmann::ordered_json ReportJson(const std::string& path, const AnalysisReport& report) {
    nlohmann::ordered_json object;
    object["book"] = path;
    object["longestChain"] = report.lengths.longest;
    object["shortestChain"] = report.lengths.shortest;
    object["errors"] = report.errors;
    object["best"] =
        report.bestSizes
            ? nlohmann::ordered_json{{"recordSize", report.bestSizes->recordSize},
                                     {"hashIndexSize", report.bestSizes->hashIndexSize}}
            : nlohmann::ordered_json(nullptr);
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
    if (BookCount() > 1 && !Json()) {
        streams.out << "==> " << path << " <==\n";
    }
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

}  // namespace plinth::cli
