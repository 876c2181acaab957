// The desktop program driven as a person uses it, without a display: its wiring,
// not what the book code finds, which its own tests own.

#include <gtest/gtest.h>

#include <QtTest>
#include <QtWidgets>
#include <deque>
#include <filesystem>
#include <fstream>

#include "BookBuilder.h"
#include "BookChecks.h"
#include "GatedFileSystem.h"
#include "TempDir.h"
#include "app/BookInfoLoader.h"
#include "app/OptimizeDlg.h"
#include "app/PlinthApp.h"
#include "app/PlinthDlg.h"
#include "app/SelectBookDlg.h"
#include "book/DisplayText.h"
#include "settings/DefaultDirectories.h"
#include "settings/LinuxDirectoryPlatform.h"

namespace plinth::test {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

// HOME and the XDG folders in a fresh folder, the offscreen platform, the build's plugins.
class HermeticEnvironment {
  public:
    HermeticEnvironment() {
        for (const char* variable : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"}) {
            ::unsetenv(variable);  // under HOME
        }
        for (const auto& [variable, folder] : {std::pair{"HOME", "home"},
                                               {"XDG_DATA_DIRS", "common"},
                                               {"XDG_RUNTIME_DIR", "runtime"}}) {
            fs::create_directories(m_root.File(folder));
            ::setenv(variable, m_root.File(folder).c_str(), 1);
        }
        fs::create_directories(m_root.File("home/Documents"));
        fs::permissions(m_root.File("runtime"), fs::perms::owner_all);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
        ::setenv("PLINTH_PLUGIN_DIR", PLINTH_BUILD_PLUGIN_DIR, 0);
    }

  private:
    TempDir m_root;
};

// The answers that the window's modal dialogs give, in their order: each acts on
// its dialog, shown, and the dialog's result is its answer. A dialog beyond them
// is rejected and counted as stray.
class Answers {
  public:
    using Answer = std::function<void(QDialog& dialog)>;

    Answers& Then(Answer answer) {
        m_answers.push_back(std::move(answer));
        return *this;
    }
    ModalRunner Runner() {
        return [this](QDialog& dialog) {
            if (m_answers.empty()) {
                ++m_stray;
                return static_cast<int>(QDialog::Rejected);
            }
            const Answer answer = std::move(m_answers.front());
            m_answers.pop_front();
            dialog.show();
            answer(dialog);
            return dialog.result();
        };
    }
    bool Done() const { return m_answers.empty() && m_stray == 0; }

  private:
    std::deque<Answer> m_answers;
    int m_stray = 0;
};

template <typename Widget = QWidget>
Widget* Child(const QObject& parent, const char* objectName) {
    return parent.findChild<Widget*>(QString::fromLatin1(objectName));
}

void ClickButton(QWidget* parent, const QString& text) {
    for (QPushButton* button : parent->findChildren<QPushButton*>()) {
        if (button->text() == text) {
            return QTest::mouseClick(button, Qt::LeftButton);
        }
    }
    ADD_FAILURE() << "no button " << text.toStdString();
}

// The enabled buttons, the bar when it is shown, and the wait cursor.
std::string State(const CPlinthDlg& window) {
    std::string state;
    for (const char* name : {"openBook", "analyse", "optimize"}) {
        state += Child(window, name)->isEnabled() ? std::string(name) + " " : "";
    }
    state += Child(window, "progress")->isVisible() ? "progress " : "";
    const QCursor* cursor = QApplication::overrideCursor();
    return state + (cursor != nullptr && cursor->shape() == Qt::WaitCursor ? "waiting" : "");
}

void OpenThroughButton(CPlinthDlg& window, const std::string& path) {
    window.SetBookChooser([path](QWidget*) { return path; });
    ClickButton(&window, "Open book ...");
}

// The settings' prediction and recommendation once measured, and "use" if it can be used.
std::string Foretold(const QWidget& dialog) {
    auto* line = Child<QLabel>(dialog, "prediction");
    EXPECT_TRUE(QTest::qWaitFor([&] { return !line->text().startsWith("Measuring"); }));
    const bool canUse = Child<QPushButton>(dialog, "useRecommended")->isEnabled();
    return (line->text() + " | " + Child<QLabel>(dialog, "recommendation")->text() +
            (canUse ? " | use" : ""))
        .toStdString();
}

// Notes the preselection, takes line `recordLine` and the largest HashIndex size,
// notes what the settings foretell, and presses `button`.
Answers::Answer ChooseSizes(int recordLine, Strings* seen = nullptr, const char* button = "OK") {
    return [=](QDialog& modal) {
        const auto lists = dynamic_cast<COptimizeDlg&>(modal).findChildren<QComboBox*>();
        if (seen != nullptr) {
            *seen = {(lists[0]->currentText() + " " + lists[1]->currentText()).toStdString()};
        }
        lists[0]->setCurrentIndex(recordLine);
        lists[1]->setCurrentIndex(lists[1]->count() - 1);
        const std::string foretold = Foretold(modal);
        if (seen != nullptr) {
            seen->push_back(foretold);
        }
        ClickButton(&modal, button);
    };
}

// Notes the value of the progress bar that it watches each time the bar is painted.
class PaintWatcher final : public QObject {
  public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            painted = qobject_cast<QProgressBar*>(watched)->value();
        }
        return false;
    }
    int painted = -1;
};

// How long a test waits for the file system model, which lists folders on a thread
// of its own and may be slow on a busy machine.
constexpr int kListingWaitMs = 30000;

// The preview once the entry at `path` (none for "") is current, as after a click.
std::string PreviewOf(const QWidget& dialog, const std::string& path) {
    auto* list = Child<QListView>(dialog, "listView");
    const auto* shown = qobject_cast<QAbstractProxyModel*>(list->model());
    const auto* model = qobject_cast<QFileSystemModel*>(shown->sourceModel());
    const QString entry = QString::fromStdString(path);
    EXPECT_TRUE(path.empty() ||
                QTest::qWaitFor([&] { return model->index(entry).isValid(); }, kListingWaitMs));
    list->setCurrentIndex(path.empty() ? QModelIndex() : shown->mapFromSource(model->index(entry)));
    return Child<QLabel>(dialog, "description")->text().toStdString();
}

class AppTest : public testing::Test {
  protected:
    AppTest() {
        LinuxDirectoryPlatform platform("Quarnet", "Plinth");
        g_DefaultDirectories.Initialize(platform, "Quarnet", "Velmora 6.0");
        builder::BuildBook({}, builder::MakePositions(BookKind::Standard, 400, 7))
            .WriteTo(dir.File("main.bk"));
    }

    TempDir dir;
    Answers answers;
};

// The program with its main window run by `act` on the window shown.
class ActedApp final : public CPlinthApp {
  public:
    ActedApp(CommandLine line, std::function<void(CPlinthDlg&)> act)
        : CPlinthApp(std::move(line)), m_act(std::move(act)) {}

  protected:
    void RunMainWindow(CPlinthDlg& window) override {
        window.show();
        m_act(window);
    }

  private:
    std::function<void(CPlinthDlg&)> m_act;
};

// The book's name is not UTF-8 (Latin-1 "café"): the program opens the file of
// those bytes, not one whose name decodes to the same text.
TEST_F(AppTest, StartsWithTheBookOfTheCommandLineInAWindowThatShowsItWhole) {
    const std::string book = dir.File("caf\xe9.bk");
    fs::copy_file(dir.File("main.bk"), book);
    const QDir program(QCoreApplication::applicationDirPath());
    const QStringList besideTheProgram = program.entryList();
    Strings seen;
    const auto act = [&](CPlinthDlg& window) {
        auto* list = Child<QTreeWidget>(window, "attributes");
        const auto rows = window.ListedAttributes();
        seen = {window.windowTitle().toStdString(), rows.empty() ? "" : rows.front().second,
                State(window)};
        // All rows in view, and the value as wide as the field leaves it.
        EXPECT_LE(list->visualItemRect(list->topLevelItem(10)).bottom(),
                  list->viewport()->height());
        EXPECT_EQ(list->columnWidth(0) + list->columnWidth(1), list->viewport()->width());
        // Enter on the keypad ends the program, as on the main keys.
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Enter, Qt::KeypadModifier);
        seen.emplace_back(window.isVisible() ? "shown" : "ended");
    };
    ActedApp app(CommandLine{.book = book, .problem = {}}, act);
    EXPECT_FALSE(app.InitInstance());
    EXPECT_EQ(seen, Strings({"Velmora Openingbook Optimizer", DisplayText(book),
                             "openBook analyse optimize ", "ended"}));
    // "Open book ..." starts in the book's folder; nothing was made beside the program.
    EXPECT_EQ(g_DefaultDirectories.GetPath(kBookDirectoryId, Separator::None), dir.Path());
    EXPECT_EQ(program.entryList(), besideTheProgram);
}

// The buttons follow the model; the settings dialog and the message box show what
// it says and hand it the user's choice.
TEST_F(AppTest, ButtonsDialogsAndTheMessageBoxFollowTheBook) {
    BookThatTheFitCheckRefusesAt1024().WriteTo(dir.File("big.bk"));
    WriteFileBytes(dir.File("notes.bk"), {'h', 'i', '\n'});
    CPlinthDlg window;
    window.SetModalRunner(answers.Runner());
    window.show();
    OpenThroughButton(window, dir.File("notes.bk"));
    EXPECT_EQ(State(window), "openBook ");

    // A refused setting: foretold, a message box, an empty console, the book open.
    Strings refused;
    Strings preselected;
    std::string message;
    answers.Then(ChooseSizes(0, &refused)).Then([&](QDialog& box) {
        message = (box.windowTitle() + ": " + dynamic_cast<QMessageBox&>(box).text()).toStdString();
        ClickButton(&box, "OK");
    });
    OpenThroughButton(window, dir.File("big.bk"));
    ClickButton(&window, "Optimize...");
    EXPECT_EQ(refused, Strings({"4096 1024",
                                "Does not fit: New Recordsize to small to fit in destination "
                                "book. Try increasing the record size | Recommended: record "
                                "size 2048, hash index size 1024 | use"}));
    EXPECT_EQ(message,
              "Plinth: **Error** New Recordsize to small to fit in destination book. "
              "Try increasing the record size");
    EXPECT_EQ(window.ConsoleText() + State(window), "openBook analyse optimize ");

    // A conversion lists the new book; a cancelled one leaves the console.
    OpenThroughButton(window, dir.File("main.bk"));
    answers.Then(ChooseSizes(2)).Then(ChooseSizes(0, &preselected, "Cancel"));
    ClickButton(&window, "Optimize...");
    const std::string converted = window.ConsoleText();
    EXPECT_TRUE(converted.ends_with(".old.bk\n")) << converted;
    EXPECT_EQ(window.ListedAttributes().at(5).second, "4096");
    ClickButton(&window, "Optimize...");
    EXPECT_EQ(preselected.at(0), "4096 32768");
    EXPECT_EQ(window.ConsoleText() + State(window), converted + "openBook analyse optimize ");
    EXPECT_TRUE(answers.Done());
}

TEST_F(AppTest, SettingsForetellEachPairWhileTheyMeasureInTheBackground) {
    // Positions crowding one slot make long chains of small records.
    auto positions = builder::MakePositions(BookKind::Standard, 200, 7);
    for (const auto& position : builder::MakePositionsInSlot(BookKind::Standard, 90, 5, 32767, 8)) {
        positions.push_back(position);
    }
    builder::BuildBook({}, positions).WriteTo(dir.File("crowded.bk"));
    GatedFileSystem files;
    CPlinthDlg window(files);
    window.SetModalRunner(answers.Runner());
    window.show();
    window.OpenBook(dir.File("crowded.bk"));
    // Each change of a list foretells its pair; "Use recommended" takes the best.
    Strings seen;
    answers.Then([&](QDialog& modal) {
        const auto lists = modal.findChildren<QComboBox*>();
        seen.push_back(Foretold(modal));
        lists[1]->setCurrentIndex(5);
        seen.push_back(Foretold(modal));
        ClickButton(&modal, "Use recommended");
        seen.push_back((lists[0]->currentText() + " " + lists[1]->currentText()).toStdString());
        seen.push_back(Foretold(modal));
        ClickButton(&modal, "Cancel");
    });
    ClickButton(&window, "Optimize...");
    const std::string best = " | Recommended: record size 2048, hash index size 1024";
    EXPECT_EQ(
        seen,
        Strings({"New book: 187 records, 0.2 MiB; longest chain 2, 1.14 reads per lookup" + best +
                     " | use",
                 "New book: 266 records, 0.3 MiB; longest chain 2, 1.14 reads per lookup" + best +
                     " | use",
                 "2048 1024",
                 "New book: 185 records, 0.4 MiB; longest chain 1, 1.00 reads per lookup" + best}));

    // Held at its first read past the header, the pass is still measuring; Cancel
    // closes the dialog at once and the pass reads nothing more.
    seen.clear();
    int readsAtCancel = 0;
    files.gates = {1};
    files.look = [&] {
        auto* settings = window.findChild<COptimizeDlg*>();
        seen.push_back(Child<QLabel>(*settings, "prediction")->text().toStdString());
        ClickButton(settings, "Cancel");
        seen.emplace_back(settings->isVisible() ? "shown" : "closed");
        readsAtCancel = files.reads;
    };
    answers.Then(
        [](QDialog& modal) { EXPECT_TRUE(QTest::qWaitFor([&] { return !modal.isVisible(); })); });
    ClickButton(&window, "Optimize...");
    EXPECT_EQ(seen, Strings({"Measuring the book\u2026", "closed"}));
    EXPECT_TRUE(files.gates.empty() && window.findChild<COptimizeDlg*>() == nullptr);
    EXPECT_EQ(files.reads, readsAtCancel);

    EXPECT_TRUE(answers.Done());
}

TEST_F(AppTest, APassKeepsTheWindowShowingItsReportsAndIgnoresInput) {
    // A book with a finding at its start, under 4 MiB: no second thread passes the gates.
    builder::BookImage image = builder::BuildFilledBook({}, 4000, 7);
    image.SetSlot(3, image.RecordCount() + 5);
    image.WriteTo(dir.File("long.bk"));
    const uint64_t size = image.Bytes().size();
    GatedFileSystem files;
    CPlinthDlg window(files);
    window.SetModalRunner(answers.Runner());
    window.show();
    window.OpenBook(dir.File("long.bk"));
    PaintWatcher watcher;
    Child(window, "progress")->installEventFilter(&watcher);
    int shown = 0;
    // At each fifth the bar has moved on, the finding shows and input does nothing.
    files.gates = {size / 5, 2 * size / 5, 3 * size / 5, 4 * size / 5};
    files.ready = [&] {
        return watcher.painted > shown &&
               Child<QPlainTextEdit>(window, "console")->toPlainText().contains("idx=3 ");
    };
    files.look = [&] {
        shown = watcher.painted;
        for (const char* button : {"openBook", "analyse", "optimize"}) {
            QTest::mouseClick(Child(window, button), Qt::LeftButton);
        }
        QTest::keyClick(Child(window, "attributes"), Qt::Key_Return);
        QTest::keyClick(Child(window, "console"), Qt::Key_Enter, Qt::KeypadModifier);
        QTest::keyClick(&window, Qt::Key_Escape);
        EXPECT_FALSE(window.close());
        EXPECT_EQ(State(window), "progress waiting");
    };
    ClickButton(&window, "Analyse");
    EXPECT_TRUE(files.gates.empty());
    // Nothing acts after the pass: no dialog, no second analysis, no end.
    QApplication::processEvents();
    EXPECT_TRUE(window.isVisible() && answers.Done());
    EXPECT_EQ(State(window), "openBook analyse optimize ");
    const std::string text = window.ConsoleText();
    EXPECT_TRUE(text.ends_with("Analisys completed\n") &&
                text.find("Analisys") == text.rfind("Analisys"));
}

// Help that no program shows says where the page is. A line wider than the
// console can be scrolled to its end.
TEST_F(AppTest, HelpAndLongLinesCanBeRead) {
    CPlinthDlg window;
    window.show();
    const TempDir programs;
    std::ofstream(programs.File("xdg-open")) << "#!/bin/sh\nexit 4\n";
    fs::permissions(programs.File("xdg-open"), fs::perms::owner_all);
    const char* const searched = std::getenv("PATH");
    const std::string path = searched != nullptr ? searched : "";
    ::setenv("PATH", programs.Path().c_str(), 1);
    ClickButton(&window, "Help");
    ::setenv("PATH", path.c_str(), 1);
    EXPECT_TRUE(QTest::qWaitFor([&] {
        return window.ConsoleText().ends_with("index.html\n") &&
               window.ConsoleText().find("No program could show the help page. It is here:\n/") !=
                   std::string::npos;
    })) << window.ConsoleText();

    auto* sideways = Child<QPlainTextEdit>(window, "console")->horizontalScrollBar();
    window.AppendText(std::string(500, '-') + "|\n");
    QApplication::processEvents();
    EXPECT_TRUE(sideways->isVisible() && sideways->maximum() > 0);
}

// Answers by the name of the file, which it must be given with its folder.
class FakeBookInfo final : public IBookInfo {
  public:
    int32_t GetDescription(const QString& path, std::optional<QString>& description) override {
        const QString name = QFileInfo(path).fileName();
        if (name == "throws.bk") {
            throw std::bad_alloc();
        }
        if (name != "null.bk") {
            description = name == "two.bk" ? "two\nwords" : "shown";
        }
        return name == "fails.bk" || QFileInfo(path).isRelative() ? -7 : 0;
    }
};

TEST_F(AppTest, PreviewShowsWhatTheComponentSaysOfTheCurrentEntry) {
    fs::create_directory(dir.File("archive"));
    for (const char* name : {"two.bk", "null.bk", "fails.bk", "throws.bk"}) {
        WriteFileBytes(dir.File(name), {'x'});
    }
    g_DefaultDirectories.SetPath(kBookDirectoryId, dir.Path());
    std::weak_ptr<IBookInfo> fake;
    const BookInfoFactory makeFake = [&] {
        auto made = std::make_shared<FakeBookInfo>();
        fake = made;
        return made;
    };
    Strings previews;
    for (const BookInfoFactory& factory : {makeFake, BookInfoFactory()}) {
        CSelectBookDlg dialog(FileDlgMode::Open, QString(), nullptr, factory);
        dialog.show();
        EXPECT_EQ(Child<QLabel>(dialog, "description")->textFormat(), Qt::PlainText);
        for (const char* name : {"main.bk", "two.bk", "null.bk", "fails.bk", "throws.bk"}) {
            previews.push_back(PreviewOf(dialog, dir.File(name)).substr(0, 13));
        }
        previews.push_back(PreviewOf(dialog, dir.File("archive")) + PreviewOf(dialog, ""));
    }
    const std::string notABook = "Not a recogni";
    EXPECT_EQ(previews, Strings({"shown", "two\nwords", "", notABook, notABook, "", notABook,
                                 notABook, notABook, notABook, notABook, ""}));
    EXPECT_TRUE(fake.expired());  // released with its dialog
}

// The plugin has one instance: a component let go while another is held leaves
// that one working, and one made after both went loads the plugin again.
TEST_F(AppTest, ComponentsHeldTogetherOutliveEachOther) {
    const QString book = QString::fromStdString(dir.File("main.bk"));
    std::shared_ptr<IBookInfo> first = CreateBookInfo();
    ASSERT_NE(first, nullptr);
    std::shared_ptr<IBookInfo> second = CreateBookInfo();
    first.reset();
    std::optional<QString> description;
    ASSERT_GE(second->GetDescription(book, description), 0);
    ASSERT_FALSE(description.value_or(QString()).isEmpty());
    second.reset();
    const std::shared_ptr<IBookInfo> again = CreateBookInfo();
    ASSERT_NE(again, nullptr);
    std::optional<QString> anew;
    EXPECT_GE(again->GetDescription(book, anew), 0);
    EXPECT_EQ(anew, description);
}

TEST_F(AppTest, BooksOpenFromTheRememberedFolder) {
    g_DefaultDirectories.SetPath(kBookDirectoryId, dir.Path());
    const TempDir elsewhere;
    fs::copy_file(dir.File("main.bk"), elsewhere.File("main.bk"));
    fs::create_directory(elsewhere.File("sub"));
    fs::copy_file(dir.File("main.bk"), elsewhere.File("caf\xe9.bk"));
    CPlinthDlg window;
    window.SetModalRunner(answers.Runner());
    window.show();
    Strings seen;
    // Types each name, with the description it gets, and Enter; Escape after the last.
    const auto typeIn = [&](const std::vector<std::string>& names) {
        return [&seen, names](QDialog& modal) {
            auto& dialog = dynamic_cast<CSelectBookDlg&>(modal);
            seen.push_back(
                dialog.directory().absolutePath().toStdString() + " " +
                (dialog.nameFilters().join("|") + dialog.DefaultExtension()).toStdString());
            auto* name = Child<QLineEdit>(dialog, "fileNameEdit");
            for (const std::string& typed : names) {
                // Typed key by key where the names are short, so that they are completed.
                name->setText(typed.size() < 8 ? QString() : QString::fromStdString(typed));
                QTest::keyClicks(name,
                                 typed.size() < 8 ? QString::fromStdString(typed) : QString());
                seen.push_back(typed + ": " +
                               Child<QLabel>(dialog, "description")->text().left(4).toStdString());
                QTest::keyClick(name, Qt::Key_Return);
            }
            // A folder entered leaves no completion over the dialog.
            if (name->completer()->popup()->isVisible()) {
                seen.emplace_back("completion left");
            }
            if (dialog.isVisible()) {
                QTest::keyClick(name, Qt::Key_Escape);
            }
        };
    };
    answers.Then(typeIn({elsewhere.File("main")})).Then(typeIn({}));
    answers.Then(typeIn({"sub", "..", "caf\u00e9.bk"}));
    // Enter on a button presses it.
    Child(window, "openBook")->setFocus();
    QTest::keyClick(Child(window, "openBook"), Qt::Key_Return);
    const auto rows = window.ListedAttributes();
    const std::string console = window.ConsoleText();
    ClickButton(&window, "Open book ...");
    // Cancelled, the dialog leaves the book, the console and the list as they were.
    EXPECT_TRUE(window.ConsoleText() == console && window.ListedAttributes() == rows);
    // A name that is not UTF-8 is listed as the window shows it, and opens.
    ClickButton(&window, "Open book ...");
    std::optional<QString> description;
    CreateBookInfo()->GetDescription(QString::fromStdString(dir.File("main.bk")), description);
    const std::string described = description.value_or("").left(4).toStdString();
    EXPECT_EQ(seen, Strings({dir.Path() + " Velmora books (*.bk).bk",
                             elsewhere.File("main") + ": " + described,
                             elsewhere.Path() + " Velmora books (*.bk).bk",
                             elsewhere.Path() + " Velmora books (*.bk).bk",
                             "sub: ", "..: ", "caf\u00e9.bk: " + described}));
    EXPECT_EQ(rows.at(0).second, elsewhere.File("main.bk"));
    EXPECT_EQ(window.ListedAttributes().at(0).second, DisplayText(elsewhere.File("caf\xe9.bk")));
    EXPECT_TRUE(answers.Done());
    QTest::keyClick(Child(window, "attributes"), Qt::Key_Escape);
    EXPECT_FALSE(window.isVisible());
}

// Grown, the book selection dialog gives the room to the list of files, whose
// columns are as wide as what they show.
TEST_F(AppTest, BookSelectionGrowsItsList) {
    g_DefaultDirectories.SetPath(kBookDirectoryId, dir.Path());
    CSelectBookDlg dialog(FileDlgMode::Open, QString(), nullptr);
    dialog.show();
    auto* details = Child<QTreeView>(dialog, "treeView");
    auto* preview = Child(dialog, "bookPreview");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return details->model()->rowCount(details->rootIndex()) > 0; }, kListingWaitMs));
    const QSize before(details->height(), preview->height());
    dialog.resize(dialog.size() + QSize(300, 200));
    QApplication::processEvents();
    EXPECT_GE(details->height(), before.width() + 150);
    EXPECT_EQ(preview->height(), before.height());
    for (const int column : {1, 2, 3}) {
        EXPECT_GE(details->columnWidth(column),
                  static_cast<QAbstractItemView*>(details)->sizeHintForColumn(column))
            << column;
    }
}

}  // namespace
}  // namespace plinth::test

int main(int argc, char** argv) {
    const plinth::test::HermeticEnvironment environment;
    const QApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
