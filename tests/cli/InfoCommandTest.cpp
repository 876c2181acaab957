#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>

#include "BookBuilder.h"
#include "CliTestSupport.h"
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
        builder::BuildBook(options, builder::MakePositions(options.kind, 20, 3)).WriteTo(path);
        return path;
    }
    test::TempDir dir;
};

// A comment's line breaks and terminal controls do not make rows of their own.
TEST_F(InfoCommandTest, PrintsAnAlignedTable) {
    builder::BookOptions options;
    options.comment = "Club\nRecord size  16384\x1b[8m\x7f";
    const std::string path = MakeBook("main.bk", options);
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

// A report that cannot be written (a full disk, a closed pipe) ends in status 2;
// a conversion's text is only its log, and the conversion is done all the same.
TEST_F(InfoCommandTest, OutputThatCannotBeWrittenIsAFailureOfAReport) {
    const std::string path = MakeBook("main.bk");
    for (const auto& [command, status] : {std::pair{"info", 2}, {"optimize", 0}}) {
        const std::array<const char*, 5> argv = {"plinth-cli", command, path.c_str(), "--hash-size",
                                                 "2048"};
        std::ostream nowhere(nullptr);  // every write fails
        std::ostringstream err;
        cli::CliStreams streams{nowhere, err, false};
        EXPECT_EQ(cli::RunCli(command == std::string("info") ? 3 : 5, argv.data(), streams),
                  status);
        EXPECT_EQ(err.str(), "plinth-cli: can not write the output\n");
    }
    EXPECT_TRUE(std::filesystem::exists(path + ".old.bk"));
}

// One JSON object per book on a line of its own: the header's attributes in the
// order of the table's rows, numbers as numbers.
TEST_F(InfoCommandTest, JsonOfEachBookHoldsTheAttributesAsNumbers) {
    const builder::BookOptions options = {.kind = BookKind::WithStatistics,
                                          .recordSize = 2048,
                                          .comment = std::string(2048 - 4, 'z'),
                                          .attributes = 0x11};
    const builder::BookImage image =
        builder::BuildBook(options, builder::MakePositions(options.kind, 20, 3));
    const std::string path = dir.File("stats.bk");
    image.WriteTo(path);
    const test::CliRun run = test::RunCliCapture({"info", "--json", path, MakeBook("b.bk")});
    ASSERT_EQ(run.status, 0) << run.err;
    const size_t firstEnd = run.out.find('\n');
    ASSERT_EQ(run.out.find('\n', firstEnd + 1), run.out.size() - 1);
    const BookHeader header = image.Header();
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
