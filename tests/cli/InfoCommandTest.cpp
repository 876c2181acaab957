#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <tuple>

#include "BookBuilder.h"
#include "ChildProcess.h"
#include "CliTestSupport.h"
#include "HookedFileSystem.h"
#include "TempDir.h"
#include "cli/Command.h"

namespace plinth {
namespace {

using testing::HasSubstr;
using testing::StartsWith;

class InfoCommandTest : public testing::Test {
  protected:
    std::string MakeBook(const std::string& name, const builder::BookOptions& options = {}) {
        std::string path = dir.File(name);
        builder::BuildBook(options, 20, 3).WriteTo(path);
        return path;
    }
    test::TempDir dir;
};

// A comment's line breaks and terminal controls do not make rows of their own.
TEST_F(InfoCommandTest, PrintsAnAlignedTable) {
    const std::string path =
        MakeBook("main.bk", {.comment = "Club\nRecord size  16384\x1b[8m\x7f"});
    const test::CliRun run = test::RunCliCapture({"info", path});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_THAT(run.out, StartsWith("Field             Value\n"
                                    "Input book        " +
                                    path + "\nType              Standard\n"));
    EXPECT_THAT(run.out, HasSubstr("\nAvg chain length  0.0\n"));
    EXPECT_THAT(run.out, HasSubstr("\nComment           Club Record size  16384 [8m \n"));
    EXPECT_THAT(test::RunCliCapture({"--version"}).out, StartsWith("plinth-cli 1.03"));
}

// Output that takes its first `room` bytes and fails every write after them, as
// a pipe whose reader went away or a disk that filled up.
class FillingOutput final : public std::streambuf {
  public:
    explicit FillingOutput(size_t room) : m_room(room) {}

  protected:
    int_type overflow(int_type c) override {
        return m_room == 0 ? traits_type::eof() : (--m_room, c);
    }

  private:
    size_t m_room;
};

// A report, the help or the version ends at the first write that fails: without
// a word and with status 141 when its reader went away (`| head`), else saying so
// with status 2. It reads no further: neither the next book (here missing, which
// info and advise would say on stderr) nor the rest of a book whose analysis
// prints as it goes. A conversion's text is only its log: it is done all the same.
TEST_F(InfoCommandTest, OutputThatCannotBeWrittenEndsAReportAtItsFirstFailedWrite) {
    const std::string path = MakeBook("main.bk");
    const std::string missing = dir.File("missing.bk");
    // Some 2500 chains of a record of 16 KiB each, the first slot's link broken.
    builder::BookImage image =
        builder::BuildBook({.recordSize = 16384, .hashIndexSize = 4096}, 4000, 5);
    image.SetSlot(0, 65000);
    const std::string big = dir.File("big.bk");
    image.WriteTo(big);
    const auto run = [](const std::vector<std::string>& args, std::ostream& out, bool (*gone)()) {
        std::ostringstream err;
        test::HookedFileSystem files;
        cli::CliStreams streams{out, err, false, files, gone};
        const int status = test::RunCli(args, streams);
        return std::tuple(status, err.str(), files.reads.load());
    };
    std::ostringstream whole;
    const uint64_t wholeReads = std::get<2>(run({"analyse", big}, whole, [] { return false; }));
    const std::vector<std::pair<std::vector<std::string>, size_t>> cases = {
        {{"info", path, missing}, 20},
        {{"advise", "--json", path, missing}, 20},
        {{"analyse", big}, 0},
        {{"analyse", "--json", path, big}, 20},
        {{"--help"}, 0},
        {{"--version"}, 5},
    };
    for (const bool gone : {true, false}) {
        for (const auto& [args, room] : cases) {
            SCOPED_TRACE(testing::PrintToString(args) + (gone ? " reader gone" : " full"));
            FillingOutput output(room);
            std::ostream out(&output);
            const auto [status, err, bookReads] = run(
                args, out, gone ? +[] { return true; } : +[] { return false; });
            EXPECT_EQ(status, gone ? cli::kExitReaderGone : cli::kExitFailure);
            EXPECT_EQ(err, gone ? "" : "plinth-cli: can not write the output\n");
            EXPECT_LT(bookReads * 3, wholeReads);
        }
    }
    std::ostream nowhere(nullptr);
    const auto conversion =
        run({"optimize", path, "--hash-size", "2048"}, nowhere, [] { return true; });
    EXPECT_EQ(std::get<0>(conversion), 0);
    EXPECT_EQ(std::get<1>(conversion), "plinth-cli: can not write the output\n");
    EXPECT_TRUE(std::filesystem::exists(path + ".old.bk"));
}

// `plinth-cli ... | head -1`: the reader is gone before the first write, and
// plinth-cli ends as a standard tool does, by SIGPIPE (on Windows, where there
// are no signals, with the status a shell gives for it).
TEST_F(InfoCommandTest, ReportIntoAClosedPipeEndsAsAStandardToolDoes) {
    const std::string path = MakeBook("main.bk");
    for (const std::string command : {"info", "analyse", "advise", "--help"}) {
        const test::ChildResult run = test::RunChild(
            PLINTH_CLI, {command, path}, {.environment = {}, .out = test::Output::ClosedPipe});
#ifdef _WIN32
        EXPECT_EQ(run.exitStatus, cli::kExitReaderGone) << command;
#else
        EXPECT_EQ(run.signal, SIGPIPE) << command;
#endif
        EXPECT_EQ(run.err, "") << command;
    }
}

// One JSON object per book on a line of its own: the header's attributes in the
// order of the table's rows, numbers as numbers.
TEST_F(InfoCommandTest, JsonOfEachBookHoldsTheAttributesAsNumbers) {
    const builder::BookOptions options = {.kind = BookKind::WithStatistics,
                                          .recordSize = 2048,
                                          .comment = std::string(2048 - 4, 'z'),
                                          .attributes = 0x11};
    const std::string path = MakeBook("stats.bk", options);
    const test::CliRun run = test::RunCliCapture({"info", "--json", path, MakeBook("b.bk")});
    ASSERT_EQ(run.status, 0) << run.err;
    const size_t firstEnd = run.out.find('\n');
    ASSERT_EQ(run.out.find('\n', firstEnd + 1), run.out.size() - 1);
    const BookHeader header = builder::BookImage(test::ReadFileBytes(path), {}).Header();
    EXPECT_EQ(nlohmann::ordered_json::parse(run.out.substr(0, firstEnd)),
              (nlohmann::ordered_json{{"book", path},
                                      {"type", "with-statistics"},
                                      {"revision", "30"},
                                      {"comment", options.comment},
                                      {"hashIndexSize", 1024},
                                      {"recordSize", 2048},
                                      {"recordCount", header.recordCount},
                                      {"totalPositions", 20},
                                      {"totalMoves", header.totalMoves},
                                      {"attributes", 0x11},
                                      {"averageChainLength", header.recordCount / 1024.0}}));
    EXPECT_EQ(nlohmann::json::parse(run.out.substr(firstEnd + 1))["type"], "standard");
}

// info and analyse only read: a path that is no book is reported and ends in
// status 2; the backup of a book, being a complete book, may be looked at.
// A FIFO (or a socket or a device) would make a reader wait; it is refused at once.
TEST_F(InfoCommandTest, PathsThatAreNoBooksExitTwoAndBackupsMayBeRead) {
    const std::string missing = dir.File("missing.bk");
    const std::string fifo = dir.File("pipe.bk");
    ASSERT_TRUE(test::MakeFifo(fifo));
    const std::vector<std::pair<std::string, std::string>> cases = {
        {dir.Path(), "**Error** [" + dir.Path() + "] is not a book file: it is a folder\n"},
        {fifo, "**Error** [" + fifo + "] is not a book file: it is not a regular file\n"},
        {missing, "**Error** Can not open input file [" + missing + "]\n"},
        {"", "**Error** Can not open input file []\n"},
    };
    for (const auto& [path, message] : cases) {
        for (const std::string command : {"info", "analyse", "optimize"}) {
            const test::CliRun run = test::RunCliCapture({command, path});
            EXPECT_EQ(run.status, 2) << command << " " << path;
            EXPECT_EQ(command == "info" ? run.err : run.out, message) << command;
        }
    }
    std::filesystem::remove(fifo);
    const std::string backup = MakeBook("main.bk.old.bk");
    EXPECT_EQ(test::RunCliCapture({"info", backup}).status, 0);
    EXPECT_EQ(test::RunCliCapture({"analyse", backup}).status, 0);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

}  // namespace
}  // namespace plinth
