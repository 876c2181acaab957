#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "BookBuilder.h"
#include "CliTestSupport.h"
#include "TempDir.h"

namespace plinth {
namespace {

using testing::EndsWith;
using testing::HasSubstr;

class OptimizeCommandTest : public testing::Test {
  protected:
    OptimizeCommandTest() {
        builder::BookOptions options;
        options.recordSize = 2048;
        options.hashIndexSize = 4096;
        image = builder::BuildBook(options, builder::MakePositions(BookKind::Standard, 80, 6));
        image.WriteTo(book);
    }
    std::string Info(const std::string& path, const std::string& field) {
        const test::CliRun run = test::RunCliCapture({"info", path});
        const size_t at = run.out.find("\n" + field + " ");
        const size_t start = run.out.find_first_not_of(' ', at + field.size() + 1);
        return run.out.substr(start, run.out.find('\n', start) - start);
    }

    test::TempDir dir;
    const std::string book = dir.File("b.bk");
    builder::BookImage image{{}, {}};
};

TEST_F(OptimizeCommandTest, ConvertsInPlaceWithTheBookSizesByDefault) {
    const test::CliRun run = test::RunCliCapture({"optimize", book});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_THAT(run.out, testing::StartsWith("Converting....\nWriting output file\n"));
    EXPECT_THAT(run.out, EndsWith("Conversion completed\nA backup copy of the original file can "
                                  "be found here:\r\n" +
                                  book + ".old.bk\n"));
    EXPECT_EQ(Info(book, "Record size"), "2048");
    EXPECT_EQ(Info(book, "Hash index size"), "4096");
    EXPECT_TRUE(std::filesystem::exists(book + ".old.bk"));
}

TEST_F(OptimizeCommandTest, SizesNotOfferedByTheBookFallBackToTheFirstLine) {
    builder::BookOptions options;
    options.recordSize = 3000;
    options.hashIndexSize = 512;
    builder::BuildBook(options, builder::MakePositions(BookKind::Standard, 20, 1)).WriteTo(book);
    EXPECT_EQ(test::RunCliCapture({"optimize", book, "-q"}).status, 0);
    EXPECT_EQ(Info(book, "Record size"), "1024");
    EXPECT_EQ(Info(book, "Hash index size"), "1024");
}

TEST_F(OptimizeCommandTest, OutputPathWritesANewBookOnly) {
    const std::string output = dir.File("new.bk");
    const test::CliRun run = test::RunCliCapture(
        {"optimize", book, "--record-size", "4096", "--hash-size", "32768", "--output", output});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(test::ReadFileBytes(book), image.Bytes());
    EXPECT_EQ(Info(output, "Record size"), "4096");
    EXPECT_EQ(Info(output, "Hash index size"), "32768");
    EXPECT_FALSE(std::filesystem::exists(book + ".old.bk"));
}

TEST_F(OptimizeCommandTest, RefusedSizesExitThreeWithTheMessageOnStderr) {
    builder::BookImage big = image;
    BookHeader header = big.Header();
    header.recordCount = 40000;
    big.SetHeader(header);
    big.WriteTo(book);
    const test::CliRun run = test::RunCliCapture({"optimize", book, "--record-size", "1024"});
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(run.err,
              "**Error** New Recordsize to small to fit in destination book. Try increasing the "
              "record size\n");
    EXPECT_EQ(run.out, "");
    EXPECT_FALSE(std::filesystem::exists(book + ".new.bk"));
}

TEST_F(OptimizeCommandTest, BadInputIsAUsageErrorThatTouchesNothing) {
    const std::vector<std::vector<std::string>> cases = {
        {"optimize", book, "--record-size", "3000"},
        {"optimize", book, "--record-size", "32768"},
        {"optimize", book, "--hash-size", "512"},
        {"optimize", book, "--hash-size", "big"},
        {"optimize", book, "--record-size"},
        {"optimize", book, "--output", book},
        {"optimize", book, "--output", dir.Path()},
        {"optimize", dir.Path()},
        {"optimize", book + ".old.bk"},
        {"optimize", dir.File("x.bk.new.bk")},
        {"optimize", dir.File("missing.bk")},
        {"optimize"},
    };
    for (const std::vector<std::string>& args : cases) {
        const test::CliRun run = test::RunCliCapture(args);
        EXPECT_EQ(run.status, 2) << testing::PrintToString(args);
        EXPECT_NE(run.err + run.out, "") << testing::PrintToString(args);
        EXPECT_EQ(test::ReadFileBytes(book), image.Bytes());
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                                std::filesystem::directory_iterator()),
                  1);
    }
}

TEST_F(OptimizeCommandTest, RepairedBookAnalysesClean) {
    builder::BookImage damaged = image;
    damaged.SetSlot(5, 60000);
    damaged.WriteTo(book);
    EXPECT_EQ(test::RunCliCapture({"analyse", book}).status, 1);
    EXPECT_EQ(test::RunCliCapture({"optimize", book}).status, 0);
    EXPECT_EQ(test::RunCliCapture({"analyse", book}).status, 0);
}

}  // namespace
}  // namespace plinth
