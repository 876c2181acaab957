// plinth-cli optimize killed right before each of its file operations that change
// a file (a crash anywhere else leaves what one there leaves), with hard links and
// without: a complete book must be left and running the tool again must finish
// the job. Then a second conversion while the first stands before each of them.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>

#include "BookBuilder.h"
#include "BookChecks.h"
#include "ChildProcess.h"
#include "TempDir.h"

namespace plinth {
namespace {

enum class HardLinks { Offered, Refused };

class CrashSafetyTest : public testing::TestWithParam<HardLinks> {
  protected:
    std::string Book() const { return dir.File("main.bk"); }
    std::string Backup() const { return Book() + ".old.bk"; }
    std::string NewBook() const { return Book() + ".new.bk"; }

    // The book as it stands before each run: the original, and a backup left by
    // an earlier conversion.
    void Prepare() {
        image.WriteTo(Book());
        test::WriteFileBytes(Backup(), earlierBackup);
        std::filesystem::remove(NewBook());
    }

    std::vector<std::string> Args(const std::string& recordSize = "2048",
                                  const std::string& hashSize = "2048") const {
        return {"optimize", Book(), "--record-size", recordSize, "--hash-size", hashSize};
    }
    test::ChildOptions Options(std::vector<std::string> environment = {}) const {
        if (GetParam() == HardLinks::Refused) {
            environment.emplace_back("PLINTH_TEST_NO_HARD_LINKS=1");
        }
        return {environment};
    }

    test::ExpectedBook Converted(int recordSize = 2048, int hashSize = 2048) const {
        return {image.Positions(), kMagicStandard, recordSize, hashSize, 0x11, 3};
    }

    bool IsOriginal(const std::string& path) const {
        return std::filesystem::exists(path) && test::ReadFileBytes(path) == image.Bytes();
    }

    // What a crash may leave: a complete book at the book's path, the original
    // kept as the backup once the converted book has taken the book's place.
    // Without hard links the old book is renamed to the backup before the new one
    // takes its name, so in between the book's path is empty.
    void ExpectCompleteBookAfterCrash() {
        if (!std::filesystem::exists(Book())) {
            EXPECT_EQ(GetParam(), HardLinks::Refused) << "the book's path is empty";
            EXPECT_TRUE(IsOriginal(Backup()));
            EXPECT_EQ(test::Describe(test::ConvertedBookProblems(NewBook(), Converted())), "")
                << "the book's path is empty before the exchange";
            return;
        }
        if (IsOriginal(Book())) {
            if (std::filesystem::exists(Backup())) {
                const std::vector<uint8_t> backup = test::ReadFileBytes(Backup());
                EXPECT_TRUE(backup == earlierBackup || backup == image.Bytes());
            }
            return;
        }
        EXPECT_EQ(test::Describe(test::ConvertedBookProblems(Book(), Converted())), "");
        EXPECT_TRUE(IsOriginal(Backup()));
    }

    // Running the tool again converts the book, whatever the crash left; killed in
    // the put-back of an empty book's path (operations 1 and 2), it leaves the same.
    void ExpectRecoveryByRunningAgain() {
        for (const int step : {1, 2}) {
            if (std::filesystem::exists(Book())) {
                break;
            }
            const test::ChildResult killed = test::RunChild(
                PLINTH_CLI, Args(), Options({"PLINTH_TEST_KILL_AT=" + std::to_string(step)}));
            EXPECT_TRUE(killed.Crashed()) << killed.out << killed.err;
            EXPECT_EQ(std::filesystem::exists(Book()), step == 2) << "put back at the rename";
            ExpectCompleteBookAfterCrash();
        }
        const test::ChildResult again = test::RunChild(PLINTH_CLI, Args(), Options());
        ASSERT_EQ(again.exitStatus, 0) << again.out << again.err;
        EXPECT_EQ(test::Describe(test::ConvertedBookProblems(Book(), Converted())), "");
        EXPECT_FALSE(std::filesystem::exists(NewBook()));
        EXPECT_FALSE(std::filesystem::exists(Book() + ".lock"));
        // The backup is the original, or the converted book of the killed run
        // when that run had finished the exchange.
        if (!IsOriginal(Backup())) {
            EXPECT_EQ(test::Describe(test::ConvertedBookProblems(Backup(), Converted())), "");
        }
    }

    // Runs plinth-cli with `args`, killed before each of its file operations in
    // turn, and checks each time with `afterKill`; gives the number of operations.
    int KillBeforeEachOperation(const std::vector<std::string>& args,
                                const std::function<void()>& afterKill) {
        int operation = 0;
        for (;; ++operation) {
            SCOPED_TRACE("killed before file operation " + std::to_string(operation));
            Prepare();
            const test::ChildResult run = test::RunChild(
                PLINTH_CLI, args, Options({"PLINTH_TEST_KILL_AT=" + std::to_string(operation)}));
            if (!run.Crashed()) {  // the conversion has fewer operations: it ran to its end
                EXPECT_EQ(run.exitStatus, 0) << run.out << run.err;
                return operation;
            }
            // Killed holding the lock (its first operation): it stops no next conversion.
            EXPECT_EQ(std::filesystem::exists(Book() + ".lock"), operation > 0);
            afterKill();
            if (HasFatalFailure() || operation > 1000) {
                ADD_FAILURE() << "stopped at operation " << operation;
                return operation;
            }
        }
    }

    test::TempDir dir;
    const builder::BookImage image = builder::BuildBook({.attributes = 0x11, .word36 = 3}, 60, 77);
    const std::vector<uint8_t> earlierBackup = {'o', 'l', 'd'};
};

TEST_P(CrashSafetyTest, KilledBeforeAnyFileOperationLeavesACompleteBook) {
    const auto inPlaceKilled = [this] {
        ExpectCompleteBookAfterCrash();
        ExpectRecoveryByRunningAgain();
    };
    // The lock, the creation and its three writes, the chains, the HashIndex and
    // the header, the flush, the five steps of the exchange and the lock given up.
    EXPECT_GE(KillBeforeEachOperation(Args(), inPlaceKilled), 15);
    // Into a new file the book stays, and the new file does not pass for a book
    // before it is a complete one.
    const std::string output = dir.File("copy.bk");
    std::vector<std::string> intoNewFile = Args();
    intoNewFile.insert(intoNewFile.end(), {"--output", output});
    const auto newFileKilled = [&] {
        EXPECT_TRUE(IsOriginal(Book()));
        if (std::filesystem::exists(output) && test::PassesForABook(test::ReadFileBytes(output))) {
            EXPECT_EQ(test::Describe(test::ConvertedBookProblems(output, Converted())), "");
        }
        std::filesystem::remove(output);
    };
    EXPECT_GE(KillBeforeEachOperation(intoNewFile, newFileKilled), 11);
}

// Every file in the book's folder with its bytes.
std::map<std::string, std::vector<uint8_t>> FilesIn(const std::string& folder) {
    std::map<std::string, std::vector<uint8_t>> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        files[entry.path().string()] = test::ReadFileBytes(entry.path().string());
    }
    return files;
}

// While a conversion holding the book's lock stands before any of its file operations,
// a second one, in place or into a new file, through a symbolic link or a relative path,
// is refused and touches nothing, and a reader finds a complete book (without hard links,
// at one step none). The first then ends as if alone.
TEST_P(CrashSafetyTest, SecondConversionIsRefusedAtEveryStepOfTheFirst) {
    const test::TempDir elsewhere;
    const std::string link = elsewhere.File("link.bk");
    std::filesystem::create_symlink(Book(), link);
    const std::string relative = std::filesystem::relative(Book()).string();
    int operation = 1;  // the first after the lock
    for (;; ++operation) {
        SCOPED_TRACE("the first stopped before file operation " + std::to_string(operation));
        Prepare();
        test::Child first(PLINTH_CLI, Args(),
                          Options({"PLINTH_TEST_STOP_AT=" + std::to_string(operation)}));
        if (!first.WaitUntilStopped()) {
            break;  // it ran to its end
        }
        const auto before = FilesIn(dir.Path());
        for (const auto& args : {Args("4096", "1024"),
                                 {"optimize", Book(), "--output", dir.File("copy.bk")},
                                 {"optimize", link},
                                 {"optimize", relative}}) {
            const test::ChildResult second = test::RunChild(PLINTH_CLI, args);
            EXPECT_EQ(second.exitStatus, 2);
            EXPECT_EQ(second.err,
                      "**Error** [" + args[1] + "] is being converted by another program\n");
        }
        EXPECT_EQ(FilesIn(dir.Path()), before);
        EXPECT_EQ(test::RunChild(PLINTH_CLI, {"analyse", Book()}).exitStatus,
                  std::filesystem::exists(Book()) ? 0 : 2);
        first.Continue();
        ASSERT_EQ(first.Wait().exitStatus, 0);
        EXPECT_EQ(test::Describe(test::ConvertedBookProblems(Book(), Converted())), "");
        EXPECT_EQ(FilesIn(dir.Path()).size(), 2u) << "the book and its backup";
    }
    EXPECT_GE(operation, 15);
}

INSTANTIATE_TEST_SUITE_P(FileSystems, CrashSafetyTest,
                         testing::Values(HardLinks::Offered, HardLinks::Refused),
                         [](const testing::TestParamInfo<HardLinks>& param) {
                             return param.param == HardLinks::Offered ? "WithHardLinks"
                                                                      : "WithoutHardLinks";
                         });

}  // namespace
}  // namespace plinth
