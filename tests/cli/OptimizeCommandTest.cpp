#include <gmock/gmock.h>
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>

#include "book/WideText.h"
#endif

#include <array>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "BookBuilder.h"
#include "BookOracle.h"
#include "ChildProcess.h"
#include "CliTestSupport.h"
#include "TempDir.h"
#include "maintenance/ConversionLock.h"

namespace plinth {
namespace {

using testing::EndsWith;
using testing::HasSubstr;

class OptimizeCommandTest : public testing::Test {
  protected:
    OptimizeCommandTest() {
        image = builder::BuildBook({.recordSize = 2048, .hashIndexSize = 4096}, 80, 6);
        image.WriteTo(book);
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
    const BookHeader header = builder::BookImage(test::ReadFileBytes(book), {}).Header();
    EXPECT_EQ(header.recordSize, 2048);
    EXPECT_EQ(header.hashIndexSize, 4096);
    EXPECT_EQ(test::ReadFileBytes(book + ".old.bk"), image.Bytes());
}

// What a usage error must leave: the book as it was and no other file.
void ExpectNothingTouched(const std::string& folder, const std::string& book,
                          const builder::BookImage& image) {
    EXPECT_EQ(test::ReadFileBytes(book), image.Bytes());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
}

// Every bad argument is a usage error (exit 2) that touches nothing.
TEST_F(OptimizeCommandTest, BadInputIsAUsageErrorThatTouchesNothing) {
    const std::string recordSizes = "1024, 2048, 4096, 8192, 16384";
    const std::string hashSizes = recordSizes + ", 32768";
    const auto usage = [](const std::string& problem) {
        return "plinth-cli: " + problem + "\nRun with --help for more information.\n";
    };
    const auto notOffered = [&](const std::string& option, const std::string& value,
                                const std::string& sizes) {
        return usage(option + ": \"" + value + "\" is not one of " + sizes);
    };
    const auto unknown = [&](const std::string& word) {
        return usage("unknown subcommand \"" + word +
                     "\"; the subcommands are info, analyse, optimize, advise");
    };
    const std::string reserved =
        " is a name that conversions use for their own files; choose another for --output\n";
    struct Case {
        std::vector<std::string> args;
        std::string err;
    };
    std::vector<Case> cases = {
        {{"optimize", book, "--record-size", "32768"},
         notOffered("--record-size", "32768", recordSizes)},
        {{"optimize", book, "--hash-size", "big"}, notOffered("--hash-size", "big", hashSizes)},
        {{"optimize", book, "--input-record-size", "1000"},
         notOffered("--input-record-size", "1000", recordSizes)},
        {{"optimize", book, "--record-size"},
         usage("--record-size: 1 required INT:{1024,2048,4096,8192,16384} missing")},
        {{"optimize", book, "--record-size", "1024", "--record-size", "2048"},
         usage("--record-size: At Most 1 required but received 2")},
        {{"optimize", book, "other.bk"},
         usage("The following argument was not expected: other.bk")},
        {{"optimize"}, usage("book is required")},
        {{"inf", book}, unknown("inf")},
        {{"--json", "help"}, unknown("help")},
        {{}, usage("A subcommand is required")},
        {{"info", "--json=maybe", book}, usage("Could not convert: --json = maybe")},
        {{"optimize", book + ".old.bk"},
         "plinth-cli: " + book +
             ".old.bk is a file of an earlier conversion; rename it to open "
             "it as a book\n"},
        {{"optimize", book, "--output", ""}, "plinth-cli: --output needs the name of a new file\n"},
        {{"optimize", book, "--output", book},
         "plinth-cli: " + book + " exists already; choose a new file for --output\n"},
        {{"optimize", book, "--output", book + ".old.bk"},
         "plinth-cli: " + book + ".old.bk" + reserved},
        {{"optimize", book, "--output", dir.File("copy.new.bk")},
         "plinth-cli: " + dir.File("copy.new.bk") + reserved},
    };
    // Sizes must be spelled as the table lists them.
    for (const std::string value : {"1023", "01024", "0x400", " 1024"}) {
        cases.push_back({{"optimize", book, "--record-size", value},
                         notOffered("--record-size", value, recordSizes)});
    }
    for (const Case& c : cases) {
        const test::CliRun run = test::RunCliCapture(c.args);
        EXPECT_EQ(run.status, 2) << testing::PrintToString(c.args);
        EXPECT_EQ(run.err, c.err) << testing::PrintToString(c.args);
        ExpectNothingTouched(dir.Path(), book, image);
    }
    // A conversion in place needs the names of its files for files.
    for (const std::string suffix : {".new.bk", ".old.bk"}) {
        std::filesystem::create_directory(book + suffix);
        const test::CliRun run = test::RunCliCapture({"optimize", book});
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.err, "plinth-cli: " + book + suffix +
                               " is a folder; the conversion needs that name for a file\n");
        EXPECT_EQ(test::ReadFileBytes(book), image.Bytes());
        std::filesystem::remove(book + suffix);
    }
}

// Permissions are checked by running plinth-cli without the rights of root.
class OptimizePermissionTest : public OptimizeCommandTest {
  protected:
    OptimizePermissionTest() {
        std::filesystem::permissions(dir.Path(), std::filesystem::perms::all);
        std::filesystem::permissions(
            book, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                      std::filesystem::perms::group_read | std::filesystem::perms::others_read);
        if (test::RunningAsRoot()) {
            // The unprivileged run owns the book and reaches a copy of the program.
            EXPECT_TRUE(test::GiveToNobody(book));
            std::filesystem::permissions(programDir.Path(), std::filesystem::perms::all);
            std::filesystem::copy_file(PLINTH_CLI, program);
        }
    }
    test::ChildResult Run(const std::vector<std::string>& args) {
        test::ChildOptions options;
        options.rights = test::Rights::Unprivileged;
        return test::RunChild(program, args, options);
    }

    test::TempDir programDir;
    const std::string program =
        test::RunningAsRoot() ? programDir.File("plinth-cli") : std::string(PLINTH_CLI);
};

// A book that the user may not read, or a name that is a loop of symbolic links:
// every command says it cannot open it, ends in status 2 and makes no file.
TEST_F(OptimizePermissionTest, BookThatMayNotBeReadIsRefusedByEveryCommand) {
    std::filesystem::permissions(book, std::filesystem::perms::owner_write);
    const std::string loop = dir.File("loop.bk");
    std::filesystem::create_symlink(loop, loop + ".link");
    std::filesystem::create_symlink(loop + ".link", loop);
    using Args = std::vector<std::string>;
    for (const std::string& path : {book, loop}) {
        for (const Args& args : {Args{"info", path}, Args{"analyse", path}, Args{"advise", path},
                                 Args{"optimize", path}, Args{"optimize", path, "--dry-run"},
                                 Args{"optimize", path, "--output", dir.File("copy.bk")}}) {
            const test::ChildResult run = Run(args);
            EXPECT_EQ(run.exitStatus, 2) << args[0];
            EXPECT_EQ(run.out + run.err, "**Error** Can not open input file [" + path + "]\n");
            EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 3);
        }
    }
}

// A book or a folder that the user may not write is refused before anything is
// written; into a new file elsewhere the book may still be converted.
TEST_F(OptimizePermissionTest, BookOrFolderThatIsNotWritableIsNotConvertedInPlace) {
    using std::filesystem::perms;
    std::filesystem::permissions(book, perms::owner_read | perms::others_read);
    const test::ChildResult notWritable = Run({"optimize", book});
    EXPECT_EQ(notWritable.exitStatus, 2);
    EXPECT_EQ(notWritable.err,
              "plinth-cli: " + book + " is not writable; a conversion in place replaces it\n");
    EXPECT_EQ(Run({"optimize", book, "--output", dir.File("copy.bk")}).exitStatus, 0);
    std::filesystem::remove(dir.File("copy.bk"));
    std::filesystem::permissions(book, perms::owner_write, std::filesystem::perm_options::add);
    std::filesystem::permissions(dir.Path(), perms::owner_all | perms::group_read |
                                                 perms::group_exec | perms::others_read |
                                                 perms::others_exec);
    const test::ChildResult inPlace = Run({"optimize", book});
    EXPECT_EQ(inPlace.exitStatus, 2);
    EXPECT_EQ(inPlace.err, "plinth-cli: the folder " + dir.Path() +
                               " is not writable; a conversion in place writes the new book and "
                               "the backup there\n");
    const std::string output = dir.File("copy.bk");
    const test::ChildResult copy = Run({"optimize", book, "--output", output});
    EXPECT_EQ(copy.exitStatus, 2);
    EXPECT_THAT(copy.out,
                HasSubstr("**Error** Creating output file [" + output + "]: Permission denied\n"));
    ExpectNothingTouched(dir.Path(), book, image);
}

// What optimize --output writes for an advise --json `pair`, against what the pair and
// --dry-run foretold: the outcome, and for a book that fits, records, bytes and chains.
void ExpectForetoldConversion(const std::string& book, const nlohmann::json& pair,
                              const std::string& output) {
    std::vector<std::string> args = {
        "optimize",      book,
        "--record-size", std::to_string(pair["recordSize"].get<int>()),
        "--hash-size",   std::to_string(pair["hashIndexSize"].get<int>()),
        "--dry-run"};
    SCOPED_TRACE(testing::PrintToString(args));
    const test::CliRun dry = test::RunCliCapture(args);
    args.back() = "--output";
    args.push_back(output);
    const test::CliRun converted = test::RunCliCapture(args);
    EXPECT_EQ(dry.status, converted.status);
    EXPECT_EQ(dry.err, converted.err);
    if (converted.status != 0) {
        // Refused by the fit check, which goes by the header alone, on stderr; or,
        // found by the count, a position too long for the new records or no
        // position read at all.
        const bool empty = converted.out.find("No position could be read") != std::string::npos;
        EXPECT_EQ(converted.status, 3);
        EXPECT_EQ(pair["outcome"],
                  !converted.err.empty() ? "refused" : (empty ? "empty" : "too-long"));
        EXPECT_THAT(converted.err + converted.out,
                    testing::AnyOf("**Error** New Recordsize to small to fit in destination "
                                   "book. Try increasing the record size\n",
                                   HasSubstr("takes 1206 bytes, more than a record of "),
                                   HasSubstr("Conversion stopped, the book was not changed\n")));
        EXPECT_FALSE(std::filesystem::exists(output));
        return;
    }
    const std::vector<uint8_t> bytes = test::ReadFileBytes(output);
    std::filesystem::remove(output);
    const size_t records = bytes.size() / pair["recordSize"].get<size_t>();
    const int longest = test::ReadAsOracle(bytes).lengths.longest;
    EXPECT_EQ(pair["outcome"], "fits");
    EXPECT_EQ(pair["bytes"], bytes.size());
    EXPECT_EQ(pair["records"], records);
    EXPECT_EQ(pair["longestChain"], longest);
    EXPECT_THAT(dry.out, HasSubstr("New book: " + std::to_string(records) + " records"));
    EXPECT_THAT(dry.out, HasSubstr("longest chain " + std::to_string(longest) + ","));
    const std::string lengths = dry.out.substr(std::min(dry.out.find("Longest"), dry.out.size()));
    EXPECT_THAT(converted.out, HasSubstr("\nWriting output file\n" + lengths));
}

// advise and optimize --dry-run tell what conversions would produce and touch
// nothing; every pair's conversion then writes what they told: for a sound book,
// a damaged one (records missing, a link broken, an entry cut), one with long
// chains and a position too long for records of 1024 bytes, and one whose
// header's record size is 0, from which no position can be read.
TEST_F(OptimizeCommandTest, AdviseAndDryRunForetellEveryConversion) {
    const test::CliRun advice = test::RunCliCapture({"advise", "--json", book});
    ASSERT_EQ(advice.status, 0) << advice.err;
    const nlohmann::json object = nlohmann::json::parse(advice.out);
    EXPECT_EQ(object["current"],
              nlohmann::json::parse(R"({"recordSize":2048,"hashIndexSize":4096})"));
    // 80 positions: every pair fits, and the smallest book with the shortest chains
    // and lookups is the recommended one.
    EXPECT_EQ(object["recommended"],
              nlohmann::json::parse(R"({"recordSize":1024,"hashIndexSize":1024})"));
    EXPECT_THAT(
        test::RunCliCapture({"advise", book}).out,
        testing::ContainsRegex("^Record size.*\n +1024 +1024  fits +\\S+ +\\S+ +1 +1.00  <- "
                               "recommended\n"));
    const test::CliRun dry = test::RunCliCapture({"optimize", book, "--dry-run"});
    EXPECT_EQ(dry.status, 0) << dry.err;
    EXPECT_THAT(dry.out, testing::StartsWith("Converting....\nDry run, nothing was written. Record "
                                             "size 2048, hash index size 4096:\nNew book: "));
    ExpectNothingTouched(dir.Path(), book, image);

    builder::BookImage damaged = image;
    damaged.SetNextRecord(damaged.Slot(damaged.SlotWithChainOf(1)), 60000);
    damaged.CutLastEntry(damaged.RecordCount() - 1u);
    // Too many records for records of 1024 bytes.
    builder::ChangeHeader([](BookHeader& h) { h.recordCount = 40000; })(damaged);
    std::vector<builder::Position> inOneSlot = builder::MakePositionsInSlot(
        BookKind::Standard, 300, 3, 32767, 4, builder::MoveRange{1, 20});
    builder::Random random(2);
    inOneSlot.push_back(builder::MakePosition(BookKind::Standard, 3, 300, random));
    const builder::BookImage longChains = builder::BuildBook({.recordSize = 2048}, inOneSlot);
    // A header whose record size is 0: no position can be read, until the book is
    // read with the size of its records.
    builder::BookImage noSize = image;
    builder::ChangeHeader([](BookHeader& h) { h.recordSize = 0; })(noSize);
    for (const builder::BookImage* sample :
         std::array<const builder::BookImage*, 4>{&image, &damaged, &longChains, &noSize}) {
        sample->WriteTo(book);
        const test::CliRun foretold = test::RunCliCapture({"advise", "--json", book});
        const nlohmann::json pairs = nlohmann::json::parse(foretold.out)["pairs"];
        ASSERT_EQ(pairs.size(), 30u);
        for (const nlohmann::json& pair : pairs) {
            ExpectForetoldConversion(book, pair, dir.File("copy.bk"));
        }
        ExpectNothingTouched(dir.Path(), book, *sample);
    }
    noSize.WriteTo(book);
    for (const char* mode : {"--hash-size=4096", "--dry-run"}) {
        const test::CliRun run = test::RunCliCapture({"optimize", book, mode});
        EXPECT_EQ(run.status, 3) << mode;
        EXPECT_THAT(run.out, EndsWith("*** Error *** No position could be read: the header's "
                                      "record size 0 or record count " +
                                      std::to_string(noSize.RecordCount()) +
                                      " may be damaged\nConversion stopped, the book was not "
                                      "changed\n"));
        ExpectNothingTouched(dir.Path(), book, noSize);
    }
    // Read as records of the size the analysis names, the dry run and the
    // conversion find the positions.
    for (const std::string& mode : {std::string("--dry-run"), "--output=" + dir.File("copy.bk")}) {
        const test::CliRun read =
            test::RunCliCapture({"optimize", book, "--input-record-size", "2048", mode});
        EXPECT_EQ(read.status, 0) << read.out;
        EXPECT_THAT(read.out, testing::StartsWith("Reading the book as records of 2048 bytes; its "
                                                  "header says 0\nConverting....\n"));
    }
}

// While another process holds the book's lock, a conversion is refused at once.
TEST_F(OptimizeCommandTest, BookLockedByAnotherProcessIsNotConverted) {
    const ConversionLock held = LockForConversion(SystemFileSystem(), book);
    ASSERT_TRUE(held.lock.Held());
    const test::ChildResult run = test::RunChild(PLINTH_CLI, {"optimize", book});
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_EQ(run.err, "**Error** [" + book + "] is being converted by another program\n");
    EXPECT_EQ(test::ReadFileBytes(book), image.Bytes());
}

#ifdef _WIN32
// Windows only. A book named beyond the ANSI code page converts and is backed up
// (plinth-cli.exe reads its arguments in UTF-16). A book that another program
// holds open without sharing its deletion, as the C runtime's fopen does, cannot
// be replaced: the exchange fails and says where both books are. A read-only book
// is not converted in place.
TEST_F(OptimizeCommandTest, BookNamedInAnyScriptOrHeldOpenOnWindows) {
    const std::string named = dir.File("\xc3\x89tudes \xd0\xb6 \xe6\xa3\x8b.bk");
    std::filesystem::rename(book, test::FsPath(named));
    const test::ChildResult run =
        test::RunChild(PLINTH_CLI, {"optimize", named, "--record-size", "1024"});
    EXPECT_THAT(run.out, EndsWith("\r\n" + named + ".old.bk\n")) << run.err;
    EXPECT_EQ(test::ReadFileBytes(named + ".old.bk"), image.Bytes());

    image.WriteTo(book);
    HANDLE other = CreateFileW(Wide(book).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    const test::CliRun held = test::RunCliCapture({"optimize", book, "--record-size", "1024"});
    CloseHandle(other);
    EXPECT_EQ(held.status, 2);
    EXPECT_THAT(held.out, EndsWith("The original book is at [" + book +
                                   "]\nThe converted book is at [" + book + ".new.bk]\n"));
    EXPECT_EQ(test::ReadFileBytes(book), image.Bytes());
    // Nor is a read-only book replaced.
    SetFileAttributesW(Wide(book).c_str(), FILE_ATTRIBUTE_READONLY);
    const test::CliRun readOnly = test::RunCliCapture({"optimize", book});
    SetFileAttributesW(Wide(book).c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(readOnly.err,
              "plinth-cli: " + book + " is not writable; a conversion in place replaces it\n");
}
#endif

}  // namespace
}  // namespace plinth
