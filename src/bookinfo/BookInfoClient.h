#pragma once

// Windows only: how the program reaches the book-information component. It is
// created by its class identity, allowing every kind of server; since a server
// of another process may need to be started, the object is created, put in its
// running state and only then asked for IBookInfo.

#include <wrl/client.h>

#include <optional>
#include <string>

#include "bookinfo/BookInfoCom.h"

namespace plinth {

// The component, or nothing when it is not registered or refuses any step.
// Component services must have been started on the calling thread.
Microsoft::WRL::ComPtr<IBookInfo> CreateBookInfo();

// The description of the file at `path` (UTF-8), or nothing when the component
// cannot describe it. A success without a description gives the empty text.
std::optional<std::string> DescribeThrough(IBookInfo& info, const std::string& path);

}  // namespace plinth
