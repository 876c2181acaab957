#pragma once

#include <exception>
#include <string>

namespace plinth {

// The one way in which the book code gives up. By the time it is thrown its
// message is already in the console and both book files are closed; handlers
// catch it and need not look at it.
class BookFatalError : public std::exception {
  public:
    explicit BookFatalError(std::string message) : m_message(std::move(message)) {}
    const char* what() const noexcept override { return m_message.c_str(); }

  private:
    std::string m_message;
};

}  // namespace plinth
