// The window model driven through a face of the test's own, on every system: what
// the window decides, without a toolkit or a display. How a face shows it is the
// desktop program's tests' (tests/app).

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <mutex>

#include "BookBuilder.h"
#include "BookChecks.h"
#include "BookOracle.h"
#include "TempDir.h"
#include "app/model/InstallationCheck.h"
#include "app/model/SettingsModel.h"
#include "app/model/WindowModel.h"
#include "maintenance/ConversionLock.h"

namespace plinth::test {
namespace {

using Strings = std::vector<std::string>;

// Records what the model shows, answers what it asks as the test says, and runs
// the tasks posted to it when the model handles its events.
class FakeFace final : public IWindowFace {
  public:
    void AppendText(std::string_view text) override { console.append(text); }
    void ClearConsole() override { console.clear(); }
    void ShowProgress() override { progressShown = true; }
    void SetProgress(int position) override { progress = position; }
    void HideProgress() override { progressShown = false; }
    void ShowAttributes(const std::vector<AttributeRow>& shown) override { rows = shown; }
    void ShowControls(const ControlStates& states) override { controls = states; }
    void FocusOpenBook() override { focusOnOpenBook = true; }
    void ShowWaitCursor(bool shown) override { waiting += shown ? 1 : -1; }
    std::optional<std::string> ChooseBook() override {
        ++asked;
        return chosen;
    }
    bool AskForSizes(SettingsModel& settings) override { return answer && answer(settings); }
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    void Post(std::function<void()> task) override {
        const std::lock_guard lock(m_mutex);
        m_tasks.push_back(std::move(task));
        m_posted.notify_one();
    }
    void HandleEvents(std::chrono::milliseconds interval) override {
        std::deque<std::function<void()>> tasks;
        {
            std::unique_lock lock(m_mutex);
            m_posted.wait_for(lock, interval, [&] { return !m_tasks.empty(); });
            tasks.swap(m_tasks);
        }
        for (const auto& task : tasks) {
            task();
        }
        if (duringPass) {
            duringPass();
        }
    }
    // Handles events until the settings have their figures.
    void Measured(const SettingsModel& settings) {
        while (settings.PredictionLine().starts_with("Measuring")) {
            HandleEvents(std::chrono::milliseconds(20));
        }
    }

    std::string console;
    bool progressShown = false;
    int progress = -1;
    std::vector<AttributeRow> rows;
    ControlStates controls;
    bool focusOnOpenBook = false;
    int waiting = 0;
    std::optional<std::string> chosen;
    int asked = 0;  // for a book
    std::function<bool(SettingsModel&)> answer;
    Strings messages;
    std::function<void()> duringPass;

  private:
    std::mutex m_mutex;
    std::condition_variable m_posted;
    std::deque<std::function<void()>> m_tasks;
};

// The system's files, where another book may take the book's path and reads may
// fail, as when another program replaces the book or cuts it short.
class ChangingFiles final : public ForwardingFileSystem {
  public:
    int OpenForReading(const std::string& path) override {
        return ForwardingFileSystem::OpenForReading(path == replaced ? replacement : path);
    }
    int64_t ReadAt(int fd, void* buffer, size_t length, uint64_t offset) override {
        held.wait(true);
        return readsFail ? -1 : ForwardingFileSystem::ReadAt(fd, buffer, length, offset);
    }
    void Release() {
        held = false;
        held.notify_all();
    }

    std::string replaced;
    std::string replacement;
    bool readsFail = false;
    // Reads wait while it is set.
    std::atomic<bool> held = false;
};

// "enabled buttons | pass" as the controls say.
std::string Shown(const ControlStates& states) {
    std::string shown;
    shown += states.openBook ? "open " : "";
    shown += states.analyse ? "analyse " : "";
    shown += states.optimize ? "optimize " : "";
    shown += states.about ? "about" : "";
    return shown + (states.passRunning ? " | pass" : "");
}

// Selects the lines once the settings have their figures; notes the lines shown.
std::function<bool(SettingsModel&)> Choose(FakeFace& face, int recordLine, int hashLine,
                                           Strings* seen = nullptr) {
    return [&face, recordLine, hashLine, seen](SettingsModel& settings) {
        face.Measured(settings);
        settings.SelectLines(recordLine, hashLine);
        if (seen != nullptr) {
            seen->push_back(settings.PredictionLine());
        }
        return true;
    };
}

class WindowModelTest : public testing::Test {
  protected:
    WindowModelTest() {
        builder::BuildBook({}, builder::MakePositions(BookKind::Standard, 400, 7))
            .WriteTo(dir.File("main.bk"));
    }

    TempDir dir;
    ChangingFiles files;
    FakeFace face;
    WindowModel model{face, files};
};

// Each operation: what it shows and which controls take input after it; input
// during a pass does nothing, and the window does not close then.
TEST_F(WindowModelTest, ControlsFollowTheBookAndRestDuringAPass) {
    test::WriteFileBytes(dir.File("notes.bk"), {'h', 'i', '\n'});
    EXPECT_EQ(Shown(model.Controls()), "open about");
    model.OnOpenBook();  // cancelled
    face.chosen = dir.File("notes.bk");
    model.OnOpenBook();
    Strings seen = {Shown(face.controls) + " " + std::to_string(face.rows.size())};
    face.chosen = dir.File("main.bk");
    model.OnOpenBook();
    seen.push_back(Shown(face.controls) + " " + face.rows.at(0).value);
    face.chosen = dir.File("notes.bk");
    int answers = 0;
    face.answer = [&](SettingsModel& settings) {
        face.Measured(settings);
        files.held = true;  // the conversion's first read
        return ++answers == 1;
    };
    face.duringPass = [&] {
        if (files.held) {
            files.Release();  // the pass goes on, and ends once the events are handled
            seen.push_back(Shown(face.controls) + (model.MayClose() ? " may close" : ""));
            model.OnOpenBook();
            model.OnAnalyse();
            model.OnOptimize();
        }
    };
    Strings consoles;
    for (const auto pass : {&WindowModel::OnAnalyse, &WindowModel::OnOptimize}) {
        files.held = pass == &WindowModel::OnAnalyse;
        (model.*pass)();
        seen.push_back(Shown(face.controls) + " " + face.rows.at(0).value);
        consoles.push_back(face.console);
    }
    const std::string opened = "open analyse optimize about " + dir.File("main.bk");
    EXPECT_EQ(seen, Strings({"open about 0", opened, " | pass", opened, " | pass", opened}));
    EXPECT_TRUE(consoles[0].ends_with("Analisys completed\n"));
    EXPECT_EQ(consoles[0].find("Analisys"), consoles[0].rfind("Analisys"));
    EXPECT_TRUE(consoles[1].ends_with(".old.bk\n"));
    EXPECT_TRUE(face.progress == 100 && !face.progressShown && face.waiting == 0);
    EXPECT_TRUE(face.messages.empty() && model.MayClose() && face.asked == 3 && answers == 1);
}

// A pass that ends in the fatal error closes the book: the console says so, the
// list empties and "Open book ..." has the focus; "Analyse" then does nothing.
TEST_F(WindowModelTest, FatalErrorOfAPassClosesTheBookAndSaysSo) {
    builder::BuildFilledBook({}, 400, 7).WriteTo(dir.File("cut.bk"));
    model.OpenBook(dir.File("cut.bk"));
    files.readsFail = true;
    model.OnAnalyse();
    EXPECT_TRUE(face.console.ends_with("\nThe book was closed; open it again to go on\n"))
        << face.console;
    EXPECT_TRUE(face.rows.empty() && face.focusOnOpenBook);
    EXPECT_EQ(Shown(face.controls), "open about");
    const std::string said = face.console;
    model.OnAnalyse();
    EXPECT_EQ(face.console, said);
}

// The settings: the book's own sizes preselected, each pair foretold, the
// recommendation; OK on a pair that the fit check refuses or that they foretell
// does not fit is refused with a message box before any work; a conversion lists
// the new book; Cancel changes nothing.
TEST_F(WindowModelTest, SettingsForetellTheConversionAndRefuseWhatDoesNotFit) {
    // A position of 1210 bytes, more than a record of 1024 holds.
    builder::BuildBook({.recordSize = 2048},
                       builder::MakePositions(BookKind::Standard, 3, 7, {300, 300}))
        .WriteTo(dir.File("long.bk"));
    Strings seen;
    model.OpenBook(dir.File("long.bk"));
    face.answer = [&](SettingsModel& settings) {
        seen.push_back(std::to_string(settings.GetRecordSize()) + " " +
                       std::to_string(settings.GetHashIndexSize()) + " " +
                       settings.PredictionLine());
        face.Measured(settings);
        seen.push_back(settings.PredictionLine() + " | " + settings.RecommendationLine() +
                       (settings.CanUseRecommended() ? " | use" : ""));
        settings.SelectLines(0, 0);
        seen.push_back(settings.PredictionLine() + (settings.CanUseRecommended() ? " | use" : ""));
        return true;
    };
    model.OnOptimize();
    face.answer = Choose(face, 2, 5, &seen);
    model.OpenBook(dir.File("main.bk"));
    model.OnOptimize();  // 4096 and 32768
    const std::string converted = face.console;
    const std::string recordSize = face.rows.at(5).value;
    // What the conversion wrote, told as the settings foretold it.
    const std::vector<uint8_t> written = ReadFileBytes(dir.File("main.bk"));
    const std::string result =
        "New book: " + face.rows.at(6).value +
        FormatLog(" records, %.1f MiB; longest chain %d, 1.00 reads per lookup",
                  Mebibytes(written.size()), ReadAsOracle(written).lengths.longest);
    BookThatTheFitCheckRefusesAt1024().WriteTo(dir.File("big.bk"));
    model.OpenBook(dir.File("big.bk"));
    face.answer = Choose(face, 0, 0);
    model.OnOptimize();
    face.answer = nullptr;
    model.OnOptimize();  // cancelled
    EXPECT_EQ(seen,
              Strings({"2048 1024 Measuring the book\u2026",
                       "New book: 6 records, 0.0 MiB; longest chain 1, 1.00 reads per lookup | "
                       "Recommended: record size 2048, hash index size 1024",
                       "Does not fit: a position takes more bytes than a record of 1024 bytes "
                       "holds | use",
                       result}));
    EXPECT_EQ(face.messages,
              Strings({"A position takes more bytes than a record of 1024 bytes holds. Choose a "
                       "larger record size",
                       "**Error** New Recordsize to small to fit in destination book. Try "
                       "increasing the record size"}));
    EXPECT_TRUE(converted.ends_with(".old.bk\n")) << converted;
    EXPECT_EQ(recordSize, "4096");
    EXPECT_EQ(face.console, "");  // cleared by the refusal, untouched by Cancel
    EXPECT_EQ(Shown(face.controls), "open analyse optimize about");
}

// The settings measure the book that is open, the one that the conversion
// converts, also when another file has taken its path; one that cannot be read
// says why. Once the analysis has named the size of the records of a book whose
// header's record size is damaged, they offer to read it so, measure it so when
// that is chosen, and the conversion reads it so; opening a book or converting it
// forgets the size.
TEST_F(WindowModelTest, SettingsMeasureTheOpenBook) {
    builder::BookImage image =
        builder::BuildBook({.recordSize = 2048}, builder::MakePositions(BookKind::Standard, 90, 7));
    BookHeader header = image.Header();
    header.recordSize = 0;
    image.SetHeader(header);
    image.WriteTo(dir.File("lies.bk"));
    Strings seen;
    face.answer = [&](SettingsModel& settings) {
        face.Measured(settings);
        settings.ReadAsLikelySize(true);
        face.Measured(settings);
        seen.push_back(settings.ReadAsLine() + " | " + settings.PredictionLine());
        return settings.ReadsAsLikelySize();
    };
    model.OpenBook(dir.File("main.bk"));
    model.OnOptimize();
    files.replaced = dir.File("main.bk");
    files.replacement = dir.File("lies.bk");
    model.OnOptimize();
    EXPECT_EQ(seen.at(0), seen.at(1));
    seen.clear();
    model.OpenBook(dir.File("lies.bk"));
    model.OnAnalyse();
    model.OpenBook(dir.File("lies.bk"));
    model.OnOptimize();  // cancelled, as nothing is offered
    model.OnAnalyse();
    model.OnOptimize();
    const std::string converted = face.console;
    model.OnOptimize();
    const std::string read =
        "New book: 89 records, 0.1 MiB; longest chain 1, 1.00 reads per lookup";
    EXPECT_EQ(seen,
              Strings({" | Cannot convert: no position could be read; the header's record size or "
                       "record count may be damaged",
                       "Read the book as records of 2048 bytes (its header says 0) | " + read,
                       " | " + read}));
    EXPECT_TRUE(
        converted.starts_with("Reading the book as records of 2048 bytes; its header says 0\n"));

    const BookReader gone(face, files);  // never opened: its path is empty
    SettingsModel settings(gone, [&](std::function<void()> task) { face.Post(std::move(task)); });
    settings.Measure();
    face.Measured(settings);
    EXPECT_EQ(settings.PredictionLine(), "The book could not be read: Can not open input file []");
    EXPECT_EQ(settings.Refusal(), "");
}

// A book that another program converts is not converted: the console says so.
// What the face found of the help page. A book that cannot be opened for
// reading, as one the user may not read, closes the open one and makes nothing.
TEST_F(WindowModelTest, RefusalsAndHelpAreSaid) {
    model.OpenBook(dir.File("main.bk"));
    {
        const FileLock held(SystemFileSystem(), dir.File("main.bk") + kLockSuffix);
        ASSERT_TRUE(held.Held());
        face.answer = Choose(face, 0, 0);
        model.OnOptimize();
    }
    EXPECT_TRUE(face.console.starts_with("**Error** ")) << face.console;
    model.HelpNotShown("/help/index.html");
    model.HelpNotInstalled();
    EXPECT_TRUE(face.console.ends_with(
        "No program could show the help page. It is here:\n/help/index.html\n"));
    EXPECT_EQ(face.messages, Strings({"The help page of Plinth is not installed."}));
    files.replaced = dir.File("main.bk");
    files.replacement = dir.File("unreadable.bk");
    model.OpenBook(dir.File("main.bk"));
    EXPECT_EQ(face.console, "**Error** Can not open input file [" + dir.File("main.bk") + "]\n");
    EXPECT_EQ(Shown(face.controls) + std::to_string(face.rows.size()), "open about0");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

// What --check prints: the rows of the book and what opening it said, then what
// was found; it passes only when the book, if one is given, opened and both the
// component and the help page were found.
TEST_F(WindowModelTest, InstallationCheckReportsTheBookAndWhatWasFound) {
    struct Case {
        std::optional<std::string> book;
        std::string opened;  // the report's first line
        bool component, help, passed;
    };
    const std::string notABook = dir.File("missing.bk");
    const Case cases[] = {
        {dir.File("main.bk"), "Book: opened", true, true, true},
        {dir.File("main.bk"), "Book: opened", false, true, false},
        {dir.File("main.bk"), "Book: opened", true, false, false},
        {notABook, "Book: not opened", true, true, false},
        {std::nullopt, "Book information component: found", true, true, true},
    };
    for (const Case& c : cases) {
        const InstallationCheck check = CheckInstallation(c.book, c.component, c.help, files);
        const std::string found = std::string("Book information component: ") +
                                  (c.component ? "found" : "missing") +
                                  "\nHelp page: " + (c.help ? "found" : "missing") + "\n";
        EXPECT_TRUE(check.report.starts_with(c.opened + "\n") && check.report.ends_with(found) &&
                    check.passed == c.passed)
            << check.report;
    }
    const std::string opened = CheckInstallation(dir.File("main.bk"), true, true, files).report;
    EXPECT_EQ(std::count(opened.begin(), opened.end(), '\n'), kAttributeFields.size() + 3);
    EXPECT_NE(opened.find("\n  Input book: " + dir.File("main.bk") + "\n"), std::string::npos);
    EXPECT_NE(CheckInstallation(notABook, true, true, files).report.find("**Error** Can not open"),
              std::string::npos);
}

}  // namespace
}  // namespace plinth::test
