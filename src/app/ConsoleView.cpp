#include "app/ConsoleView.h"

#include <QMimeData>
#include <QTextCursor>

#include "book/DisplayText.h"

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
    return DisplayText(lines);
}

ConsoleView::ConsoleView(QWidget* parent) : QPlainTextEdit(parent) {
    setReadOnly(true);
    setUndoRedoEnabled(false);
    // Lines are never wrapped: a long line scrolls sideways with the caret.
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setTabChangesFocus(true);
}

void ConsoleView::Append(std::string_view text) {
    m_text.append(text);
    const std::string shown = m_rendering.Render(text);
    QTextCursor end(document());
    end.movePosition(QTextCursor::End);
    end.insertText(QString::fromUtf8(shown.data(), static_cast<qsizetype>(shown.size())));
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
    const std::string text = DisplayText(m_text);
    mime->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    return mime;
}

}  // namespace plinth
