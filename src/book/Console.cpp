#include "book/Console.h"

#include <cstdio>

namespace plinth {

std::string VFormatLog(const char* format, va_list args) {
    // Measured first, so that a message is never cut: a path on this system can
    // take thousands of characters.
    va_list measure;
    va_copy(measure, args);
    // NOLINTNEXTLINE(clang-analyzer-valist.Uninitialized): callers pass a started list
    const int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length < 0) {
        return {};
    }
    std::string text(static_cast<size_t>(length), '\0');
    std::vsnprintf(text.data(), text.size() + 1, format, args);
    return text;
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
