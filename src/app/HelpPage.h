#pragma once

#include <QString>
#include <optional>

namespace plinth {

// Where the program's help page lies, relative to the folder of the executable:
// next to it in the build tree (help/index.html), or in the program's shared data
// folder of an installation (../share/plinth/help/index.html). Not under
// share/doc: the program needs the page, and systems that leave documentation out
// would leave it out too. Nothing when neither exists.
std::optional<QString> FindHelpPage(const QString& executableFolder);

}  // namespace plinth
