#include "app/BookInfoLoader.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonObject>
#include <QLibrary>
#include <QPluginLoader>
#include <mutex>

namespace plinth {
namespace {

// The class identity in a plugin's metadata; null when it has none.
QUuid ClassIdOf(const QJsonObject& metaData) {
    return QUuid::fromString(metaData.value(QLatin1String("MetaData"))
                                 .toObject()
                                 .value(QLatin1String("ClassId"))
                                 .toString());
}

// The loader of the first plugin that carries `classId`. Only the plugins'
// metadata is read; none is loaded.
std::unique_ptr<QPluginLoader> FindPlugin(const QUuid& classId) {
    for (const QString& folder : PluginFolders(QCoreApplication::applicationDirPath())) {
        const QFileInfoList files = QDir(folder).entryInfoList(QDir::Files, QDir::Name);
        for (const QFileInfo& file : files) {
            if (!QLibrary::isLibrary(file.fileName())) {
                continue;
            }
            auto loader = std::make_unique<QPluginLoader>(file.absoluteFilePath());
            if (ClassIdOf(loader->metaData()) == classId) {
                return loader;
            }
        }
    }
    return nullptr;
}

}  // namespace

QStringList PluginFolders(const QString& executableFolder) {
    const QString chosen = qEnvironmentVariable("PLINTH_PLUGIN_DIR");
    if (!chosen.isEmpty()) {
        return {chosen};
    }
    const QDir folder(executableFolder);
    return {folder.filePath(QStringLiteral("plugins")),
            QDir::cleanPath(folder.filePath(QStringLiteral(PLINTH_INSTALLED_PLUGIN_DIR)))};
}

std::shared_ptr<IBookInfo> CreateBookInfo() {
    // Every loader of a plugin hands out the plugin's one instance, and the
    // unloading that releases one copy deletes it: while a component is held,
    // it is the one handed out.
    static std::mutex mutex;
    static std::weak_ptr<IBookInfo> held;
    const std::scoped_lock lock(mutex);
    if (std::shared_ptr<IBookInfo> component = held.lock()) {
        return component;
    }
    const std::shared_ptr<QPluginLoader> loader = FindPlugin(kBookInfoClassId);
    if (!loader) {
        return nullptr;
    }
    QObject* instance = loader->instance();
    if (instance == nullptr) {
        loader->unload();
        return nullptr;
    }
    auto* bookInfo = qobject_cast<IBookInfo*>(instance);
    if (bookInfo == nullptr) {
        loader->unload();
        return nullptr;
    }
    std::shared_ptr<IBookInfo> component(bookInfo, [loader](IBookInfo*) { loader->unload(); });
    held = component;
    return component;
}

}  // namespace plinth
