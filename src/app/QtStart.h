#pragma once

// The making of the Qt application, which needs a display. Where Qt finds none
// it can use (a display that is named but does not answer, no platform plugin
// that starts), Qt gives up with a fatal message and the program would abort;
// instead it ends with one line on stderr and exit status 1.

#include <QApplication>
#include <optional>

namespace plinth {

// Makes the Qt application in `application` from the program's name alone: Qt is
// given none of the words of the command line. The messages that Qt writes
// meanwhile are held back; they are written once the application exists, or
// the first of them explains why it could not be made.
void StartQt(std::optional<QApplication>& application, char* programName);

}  // namespace plinth
