#pragma once

#include <exception>
#include <string>

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

}  // namespace plinth
