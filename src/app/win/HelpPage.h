#pragma once

// Windows only: the program's help page, help\index.html in the program folder
// (beside plinth.exe), as the zip of the Windows build lays it out.

#include <optional>
#include <string>

namespace plinth {

// The page's full path, or nothing when it is not there.
std::optional<std::wstring> FindHelpPage();

}  // namespace plinth
