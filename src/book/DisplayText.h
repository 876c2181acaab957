#pragma once

#include <string>
#include <string_view>

namespace plinth {

// Book texts (the comment, the revision) are single-byte text of unknown code
// page. For display they are taken as UTF-8 when they are valid UTF-8, and as
// Windows-1252 otherwise; the result is UTF-8.
std::string DisplayText(std::string_view bytes);

// `text` with its line breaks and other control characters (DEL included) as
// spaces, so that it stays on its line and cannot steer a terminal.
std::string OnOneLine(std::string_view text);

}  // namespace plinth
