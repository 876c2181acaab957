#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "BookBuilder.h"
#include "CliTestSupport.h"
#include "TempDir.h"

namespace plinth {
namespace {

using testing::HasSubstr;

class AnalyseCommandTest : public testing::Test {
  protected:
    builder::BookImage Sound() { return builder::BuildBook({}, 100, 4); }
    std::string Write(const builder::BookImage& image, const std::string& name) {
        std::string path = dir.File(name);
        image.WriteTo(path);
        return path;
    }
    test::TempDir dir;
};

TEST_F(AnalyseCommandTest, SeveralBooksAreNamedAndTheWorstStatusWins) {
    builder::BookImage damaged = Sound();
    damaged.SetSlot(7, 65000);
    const std::string sound = Write(Sound(), "s.bk");
    const std::string bad = Write(damaged, "d.bk");
    const std::string missing = dir.File("missing.bk");
    const test::CliRun run = test::RunCliCapture({"analyse", sound, bad, missing});
    EXPECT_EQ(run.status, 2);
    EXPECT_THAT(run.out, testing::StartsWith("==> " + sound +
                                             " <==\nLongest chain:\t\t1\n"
                                             "Shortest chain:\t\t0\nAnalisys completed\n==> " +
                                             bad + " <==\nError - invalid link"));
    EXPECT_THAT(run.out, HasSubstr("Found 1 errors, run optimize to fix them\n"));
    EXPECT_THAT(run.out,
                testing::EndsWith("==> " + missing + " <==\n**Error** Can not open input file [" +
                                  missing + "]\n"));
}

TEST_F(AnalyseCommandTest, JsonReportsChainsFindingsAndFatalErrors) {
    builder::BookImage image = Sound();
    uint32_t first = image.SlotWithChainOf(1);
    uint32_t second = first + 1;
    while (image.Slot(second) == 0) {
        ++second;
    }
    const uint16_t orphan = image.Slot(second);
    image.SetSlot(second, image.Slot(first));
    image.SetSlot(1023, 65000);
    image.SetNextRecord(image.Slot(first), 65000);
    const test::CliRun run = test::RunCliCapture({"analyse", "--json", Write(image, "j.bk")});
    EXPECT_EQ(run.status, 1);
    const nlohmann::json report = nlohmann::json::parse(run.out);
    EXPECT_EQ(report["errors"], 4);
    EXPECT_EQ(report["longestChain"], 1);
    EXPECT_EQ(report["shortestChain"], 0);
    EXPECT_TRUE(report["recommendedHashIndexSize"].is_null());
    int slots = 0;
    for (const auto& [length, count] : report["chainLengths"].items()) {
        slots += count.get<int>();
    }
    EXPECT_EQ(slots, 1024);
    EXPECT_EQ(
        report["findings"],
        nlohmann::json::parse(
            R"([{"kind": "invalid-chain-link", "slot": )" + std::to_string(first) +
            R"(, "record": )" + std::to_string(image.Slot(first)) + R"(, "next": 65000, "free": )" +
            std::to_string(image.RecordCount()) + R"(}, {"kind": "shared", "slot": )" +
            std::to_string(second) + R"(, "record": 0, "next": )" +
            std::to_string(image.Slot(first)) +
            R"(}, {"kind": "invalid-hash-index-link", "slot": 1023, "record": 65000, "free": )" +
            std::to_string(image.RecordCount()) + R"(}, {"kind": "unreached", "record": )" +
            std::to_string(orphan) + "}]"));
    // A fatal error carries its message.
    const std::string missing = dir.File("missing.bk");
    EXPECT_EQ(
        nlohmann::json::parse(test::RunCliCapture({"analyse", "--json", missing}).out),
        (nlohmann::json{{"book", missing},
                        {"fatalError", "**Error** Can not open input file [" + missing + "]\n"}}));
}

}  // namespace
}  // namespace plinth
