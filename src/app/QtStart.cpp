#include "app/QtStart.h"

#include <QString>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace plinth {

namespace {

// A message and where it came from; the strings of its origin are Qt's own,
// static ones.
struct HeldMessage {
    QtMsgType type;
    const char* file;
    int line;
    const char* function;
    const char* category;
    QString text;
};

// A message handler is a plain function: what it holds lives here, only while
// the application is made.
std::vector<HeldMessage>* g_heldMessages = nullptr;

void HoldBack(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type != QtFatalMsg) {
        g_heldMessages->push_back(
            {type, context.file, context.line, context.function, context.category, text});
        return;
    }
    // Qt's first word of trouble names the cause ("could not connect to display
    // :1"); its fatal message only says that it gave up.
    const QString& reason = g_heldMessages->empty() ? text : g_heldMessages->front().text;
    std::fprintf(stderr, "plinth: cannot show a window: %s\n",
                 reason.section(QLatin1Char('\n'), 0, 0).toLocal8Bit().constData());
    std::_Exit(1);
}

}  // namespace

void StartQt(std::optional<QApplication>& application, char* programName) {
    // QApplication keeps references to the count and the words it is given.
    static int argumentCount = 1;
    static std::array<char*, 2> arguments{};
    arguments = {programName, nullptr};
    std::vector<HeldMessage> held;
    g_heldMessages = &held;
    const QtMessageHandler previous = qInstallMessageHandler(HoldBack);
    application.emplace(argumentCount, arguments.data());
    qInstallMessageHandler(previous);
    g_heldMessages = nullptr;
    for (const HeldMessage& message : held) {
        const QMessageLogContext context(message.file, message.line, message.function,
                                         message.category);
        previous(message.type, context, message.text);
    }
}

}  // namespace plinth
