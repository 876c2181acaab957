#pragma once

#include <exception>
#include <string>
#include <string_view>

#include "book/Console.h"

namespace plinth {

// The one way in which the book code gives up. By the time it is thrown its
// message is already in the console and the book files of whoever raised it are
// closed; handlers catch it and need not look at it.
class BookFatalError : public std::exception {
  public:
    explicit BookFatalError(std::string message) : m_message(std::move(message)) {}
    const char* what() const noexcept override { return m_message.c_str(); }

  private:
    std::string m_message;
};

// Appends `message` to the console as plain text, never as a format, and throws
// it as the fatal error.
[[noreturn]] inline void RaiseFatalError(IConsole& console, std::string message) {
    console.AppendText(message);
    throw BookFatalError(std::move(message));
}

// The reason that a fatal error's message or a refusal gives, without its
// "**Error** " mark and its line end: for a line that shows it among other text.
inline std::string ReasonOf(std::string_view message) {
    constexpr std::string_view kMark = "**Error** ";
    if (message.starts_with(kMark)) {
        message.remove_prefix(kMark.size());
    }
    while (message.ends_with('\n')) {
        message.remove_suffix(1);
    }
    return std::string(message);
}

}  // namespace plinth
