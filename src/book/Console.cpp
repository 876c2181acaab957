#include "book/Console.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace plinth {

std::string VFormatLog(const char* format, va_list args) {
    std::array<char, kLogBufferSize> buffer{};
    // NOLINTNEXTLINE(clang-analyzer-valist.Uninitialized): callers pass a started list
    const int length = std::vsnprintf(buffer.data(), buffer.size(), format, args);
    if (length < 0) {
        return {};
    }
    return {buffer.data(), std::min(static_cast<size_t>(length), buffer.size() - 1)};
}

std::string FormatLog(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = VFormatLog(format, args);
    va_end(args);
    return text;
}

void VPrintLog(IConsole& console, const char* format, va_list args) {
    const std::string text = VFormatLog(format, args);
    if (!text.empty()) {
        console.AppendText(text);
    }
}

void PrintLog(IConsole& console, const char* format, ...) {
    va_list args;
    va_start(args, format);
    VPrintLog(console, format, args);
    va_end(args);
}

}  // namespace plinth
