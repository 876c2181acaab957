#pragma once

// Creating the book-information component: the plugin that carries its class
// identity is found in the program's plugin folder and loaded, its instance is
// made, and the instance is asked for IBookInfo.

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "bookinfo/BookInfo.h"

namespace plinth {

// Makes a book-information component; empty when there is none to be had.
using BookInfoFactory = std::function<std::shared_ptr<IBookInfo>()>;

// The folders searched for the program's plugins: the one that the environment
// variable PLINTH_PLUGIN_DIR names when it is set; else "plugins" next to the
// program (the build tree) and the plugin folder of an installation
// (lib/plinth/plugins beside the program's bin folder).
QStringList PluginFolders(const QString& executableFolder);

// The component from its plugin: the one already held, if any, since a plugin
// has one instance. The reference keeps the plugin loaded; when the last copy
// goes, the plugin is unloaded and its instance deleted. Empty, without a
// report, when no plugin carries the class identity, the plugin does not load,
// or its instance is not a book-information component.
std::shared_ptr<IBookInfo> CreateBookInfo();

}  // namespace plinth
