#pragma once

#include <QString>
#include <optional>

namespace plinth {

// Where the program's help page lies, relative to the folder of the executable:
// next to it in the build tree (help/index.html), or in the shared documentation
// folder of an installation (../share/doc/plinth/help/index.html). Nothing when
// neither exists.
std::optional<QString> FindHelpPage(const QString& executableFolder);

}  // namespace plinth
