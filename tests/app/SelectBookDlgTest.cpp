#include "SelectBookDlgTest.h"

#include <QDir>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPluginLoader>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>
#include <new>

#include "AppTestSupport.h"
#include "BookBuilder.h"
#include "TempDir.h"
#include "app/PlinthDlg.h"
#include "settings/DefaultDirectories.h"
#include "settings/LinuxDirectoryPlatform.h"
#include "ui/SelectBookDlg.h"

namespace plinth::test {
namespace {

const QString kNotABook = QStringLiteral("Not a recognised book format !");

QString Q(const std::string& text) { return QString::fromStdString(text); }

std::string BookFolder() { return g_DefaultDirectories.GetPath(kBookDirectoryId, Separator::None); }

void WriteBook(const std::string& path) {
    builder::BookOptions options;
    options.comment = "Test book";
    builder::BuildBook(options, builder::MakePositions(BookKind::Standard, 400, 7)).WriteTo(path);
}

// A folder with a book, a file that is no book and a folder, made the book folder.
struct BookFolderContents {
    BookFolderContents() {
        WriteBook(dir.File("main.bk"));
        WriteFileBytes(dir.File("notes.bk"), {'h', 'e', 'l', 'l', 'o', '\n'});
        std::filesystem::create_directory(dir.File("archive"));
        g_DefaultDirectories.SetPath(kBookDirectoryId, dir.Path());
    }
    TempDir dir;
};

QLabel* Preview(const QWidget& dialog) {
    return dialog.findChild<QLabel*>(QStringLiteral("description"));
}

// The preview after making the entry at `path` (nothing, for an empty path) the
// current one of the dialog's file list, as a click does, once the list shows it.
QString PreviewOf(const QWidget& dialog, const std::string& path) {
    auto* list = dialog.findChild<QListView*>(QStringLiteral("listView"));
    const auto* model = qobject_cast<QFileSystemModel*>(list->model());
    // An entry the list never shows gives a text that no preview holds.
    if (!path.empty() && !QTest::qWaitFor([&] { return model->index(Q(path)).isValid(); })) {
        return QStringLiteral("(not listed)");
    }
    list->setCurrentIndex(path.empty() ? QModelIndex() : model->index(Q(path)));
    return Preview(dialog)->text();
}

// Answers by the file's name, and notes the paths it is asked about.
class FakeBookInfo final : public IBookInfo {
  public:
    explicit FakeBookInfo(QStringList& asked) : m_asked(asked) {}

    int32_t GetDescription(const QString& path, std::optional<QString>& description) override {
        m_asked << path;
        const QString name = QFileInfo(path).fileName();
        if (name == QLatin1String("two.bk")) {
            description = QStringLiteral("two\nwords");
        } else if (name == QLatin1String("fails.bk")) {
            description = QStringLiteral("not shown");
            return -7;
        } else if (name == QLatin1String("throws.bk")) {
            throw std::bad_alloc();
        }
        return 0;
    }

  private:
    QStringList& m_asked;
};

// PLINTH_PLUGIN_DIR set to another folder while it lives.
class PluginFolderOverride {
  public:
    explicit PluginFolderOverride(const std::string& folder)
        : m_saved(qgetenv("PLINTH_PLUGIN_DIR")) {
        qputenv("PLINTH_PLUGIN_DIR", QByteArray::fromStdString(folder));
    }
    PluginFolderOverride(const PluginFolderOverride&) = delete;
    PluginFolderOverride& operator=(const PluginFolderOverride&) = delete;
    ~PluginFolderOverride() { qputenv("PLINTH_PLUGIN_DIR", m_saved); }

  private:
    QByteArray m_saved;
};

}  // namespace

void SelectBookDlgTest::init() {
    LinuxDirectoryPlatform platform;
    g_DefaultDirectories.Initialize(platform, "Quarnet", "Velmora 6.0");
}

void SelectBookDlgTest::previewDescribesTheCurrentEntry() {
    const BookFolderContents folder;
    const QString plugin = QDir(qEnvironmentVariable("PLINTH_PLUGIN_DIR"))
                               .filePath(QStringLiteral("libplinth_bookinfo.so"));
    {
        CSelectBookDlg dialog(FileDlgMode::Open, QString(), nullptr);
        dialog.show();
        QVERIFY(dialog.HasBookInfo());
        QVERIFY(QPluginLoader(plugin).isLoaded());
        QCOMPARE(Preview(dialog)->text(), QString());

        const QString book = PreviewOf(dialog, folder.dir.File("main.bk"));
        QVERIFY2(book.startsWith("Test book\nStandard book, revision 30\n400 positions, "),
                 qPrintable(book));
        QCOMPARE(PreviewOf(dialog, folder.dir.File("archive")), QString());
        QCOMPARE(PreviewOf(dialog, folder.dir.File("notes.bk")), kNotABook);
        QCOMPARE(PreviewOf(dialog, folder.dir.File("main.bk")), book);
        QCOMPARE(PreviewOf(dialog, ""), QString());
        // The preview lies below the file list.
        const auto* files = dialog.findChild<QWidget*>(QStringLiteral("splitter"));
        QVERIFY(Preview(dialog)->mapTo(&dialog, QPoint()).y() >
                files->mapTo(&dialog, QPoint(0, files->height())).y());
    }
    // Closing the dialog releases the component and unloads its plugin.
    QVERIFY(!QPluginLoader(plugin).isLoaded());
}

void SelectBookDlgTest::previewShowsWhatTheComponentAnswers() {
    const TempDir dir;
    for (const char* name : {"two.bk", "null.bk", "fails.bk", "throws.bk"}) {
        WriteFileBytes(dir.File(name), {'x'});
    }
    g_DefaultDirectories.SetPath(kBookDirectoryId, dir.Path());
    QStringList asked;
    int created = 0;
    std::weak_ptr<IBookInfo> component;
    const BookInfoFactory factory = [&] {
        ++created;
        auto made = std::make_shared<FakeBookInfo>(asked);
        component = made;
        return made;
    };

    // Each dialog has a component of its own, released when it closes.
    for (int run = 1; run <= 2; ++run) {
        {
            CSelectBookDlg dialog(FileDlgMode::Open, QString(), nullptr, factory);
            dialog.show();
            QCOMPARE(created, run);

            QCOMPARE(PreviewOf(dialog, dir.File("two.bk")), QStringLiteral("two\nwords"));
            QLabel* preview = Preview(dialog);
            QCOMPARE(preview->textFormat(), Qt::PlainText);
            QVERIFY(preview->sizeHint().height() >= 2 * preview->fontMetrics().height());
            // Success without a description empties the preview.
            QCOMPARE(PreviewOf(dialog, dir.File("null.bk")), QString());
            QCOMPARE(PreviewOf(dialog, dir.File("fails.bk")), kNotABook);
            QCOMPARE(PreviewOf(dialog, dir.File("throws.bk")), kNotABook);
            QCOMPARE(PreviewOf(dialog, dir.File("null.bk")), QString());
        }
        QVERIFY(component.expired());
    }
    QCOMPARE(asked.value(0), Q(dir.File("two.bk")));
}

void SelectBookDlgTest::withoutThePluginEveryFileIsNoBookAndTheBookStillOpens() {
    const BookFolderContents folder;
    const TempDir noPlugins;
    const PluginFolderOverride override(noPlugins.Path());
    CPlinthDlg window;
    window.show();

    bool hadBookInfo = true;
    QStringList previews;
    ModalDriver driver;
    driver.Then([&](QWidget* modal) {
        auto* dialog = qobject_cast<CSelectBookDlg*>(modal);
        QVERIFY(dialog != nullptr);
        hadBookInfo = dialog->HasBookInfo();
        previews << PreviewOf(*dialog, folder.dir.File("notes.bk"))
                 << PreviewOf(*dialog, folder.dir.File("main.bk"));
        // What the Open button does.
        QMetaObject::invokeMethod(dialog, "accept");
    });
    ClickButton(&window, QStringLiteral("Open book ..."));

    QVERIFY(driver.Done());
    QVERIFY(!hadBookInfo);
    QCOMPARE(previews, QStringList({kNotABook, kNotABook}));
    const auto* list = window.findChild<QTreeWidget*>(QStringLiteral("attributes"));
    QCOMPARE(list->topLevelItem(0)->text(1), Q(folder.dir.File("main.bk")));
}

void SelectBookDlgTest::theFolderOfTheChosenBookIsTheNextStartFolder() {
    const std::string start = BookFolder();
    const TempDir elsewhere;
    WriteBook(elsewhere.File("main.bk"));
    CPlinthDlg window;
    window.show();

    QStringList startFolders;
    ModalDriver driver;
    const auto record = [&](QWidget* modal) {
        startFolders << qobject_cast<QFileDialog*>(modal)->directory().absolutePath();
    };
    driver
        .Then([&](QWidget* modal) {
            record(modal);
            auto* name = modal->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            name->setText(Q(elsewhere.File("main.bk")));
            QTest::keyClick(name, Qt::Key_Return);
        })
        .Then([&](QWidget* modal) {
            record(modal);
            QTest::keyClick(modal, Qt::Key_Escape);
        });
    ClickButton(&window, QStringLiteral("Open book ..."));
    ClickButton(&window, QStringLiteral("Open book ..."));

    QVERIFY(driver.Done());
    QCOMPARE(startFolders, QStringList({Q(start), Q(elsewhere.Path())}));
    QCOMPARE(BookFolder(), elsewhere.Path());

    // A cancelled dialog, and a path whose only separator is its first character,
    // leave the book folder as it is.
    CSelectBookDlg dialog(FileDlgMode::Open, QString(), nullptr, {});
    dialog.selectFile(QStringLiteral("/main.bk"));
    QCOMPARE(dialog.GetPathName(), QStringLiteral("/main.bk"));
    dialog.done(QDialog::Accepted);
    QCOMPARE(BookFolder(), elsewhere.Path());
}

}  // namespace plinth::test
