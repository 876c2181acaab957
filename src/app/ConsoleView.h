#pragma once

// The console of the main window: a read-only text box that shows everything the
// book code reports. It keeps the exact text of the messages, line ends as they
// were written ("\r\n" included), apart from what the text box shows, because a
// text box breaks lines at "\r" and "\r\n" alike and cannot hold the text as it
// came.

#include <QPlainTextEdit>
#include <string>
#include <string_view>

namespace plinth {

// Turns console text into the lines shown, each line end ("\n", "\r\n" or a lone
// "\r") one line break; the view shows their bytes as ShownText does. Pieces are
// given in order; a "\r" at the end of one piece and a "\n" at the start of the
// next make one line end.
class ConsoleRendering {
  public:
    std::string Render(std::string_view piece);
    void Reset() { m_afterCarriageReturn = false; }

  private:
    bool m_afterCarriageReturn = false;
};

class ConsoleView final : public QPlainTextEdit {
  public:
    explicit ConsoleView(QWidget* parent = nullptr);

    // Appends at the end, without undo, and leaves the caret at the very end
    // with the last line in view.
    void Append(std::string_view text);
    void Clear();

    // The exact text appended since the last clearing.
    const std::string& Text() const { return m_text; }

  protected:
    // Copying the whole console gives its exact text.
    QMimeData* createMimeDataFromSelection() const override;

  private:
    void MoveCaretToEnd();

    std::string m_text;
    ConsoleRendering m_rendering;
};

}  // namespace plinth
