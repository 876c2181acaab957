#include "app/ConsoleView.h"

#include <QMimeData>
#include <QTextCursor>

#include "app/ShownText.h"

namespace plinth {

std::string ConsoleRendering::Render(std::string_view piece) {
    std::string lines;
    lines.reserve(piece.size());
    for (const char c : piece) {
        if (c == '\r') {
            lines += '\n';
            m_afterCarriageReturn = true;
            continue;
        }
        if (c != '\n' || !m_afterCarriageReturn) {
            lines += c;
        }
        m_afterCarriageReturn = false;
    }
    return lines;
}

ConsoleView::ConsoleView(QWidget* parent) : QPlainTextEdit(parent) {
    setReadOnly(true);
    setUndoRedoEnabled(false);
    // Lines are never wrapped: a long line scrolls sideways, with the caret and
    // with the scroll bar below, which shows while a line is wider than the view.
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setTabChangesFocus(true);
}

void ConsoleView::Append(std::string_view text) {
    m_text.append(text);
    QTextCursor end(document());
    end.movePosition(QTextCursor::End);
    end.insertText(ShownText(m_rendering.Render(text)));
    MoveCaretToEnd();
}

void ConsoleView::Clear() {
    m_text.clear();
    m_rendering.Reset();
    clear();
}

void ConsoleView::MoveCaretToEnd() {
    QTextCursor caret = textCursor();
    caret.movePosition(QTextCursor::End);
    setTextCursor(caret);
    ensureCursorVisible();
}

QMimeData* ConsoleView::createMimeDataFromSelection() const {
    const QTextCursor selection = textCursor();
    const bool wholeText = selection.selectionStart() == 0 &&
                           selection.selectionEnd() == document()->characterCount() - 1 &&
                           !m_text.empty();
    if (!wholeText) {
        return QPlainTextEdit::createMimeDataFromSelection();
    }
    auto* mime = new QMimeData();
    mime->setText(ShownText(m_text));
    return mime;
}

}  // namespace plinth
