#pragma once

// The console through which the book code tells the user what it does: text
// appended to a log and a progress bar. The main window implements it with
// widgets, the command-line tool with its output streams and the tests with a
// recorder.

#include <cstdarg>
#include <cstdint>
#include <string>
#include <string_view>

#if defined(__GNUC__)
#define PLINTH_PRINTF_FORMAT(format_index, first_arg) \
    __attribute__((format(printf, format_index, first_arg)))
#else
#define PLINTH_PRINTF_FORMAT(format_index, first_arg)
#endif

namespace plinth {

class IConsole {
  public:
    virtual ~IConsole() = default;

    // Appends text at the end of the log exactly as given, line ends included.
    virtual void AppendText(std::string_view text) = 0;
    virtual void ClearConsole() = 0;

    // Progress of a long pass, a whole percentage from 0 to 100.
    virtual void ShowProgress() = 0;
    virtual void SetProgress(int position) = 0;
    virtual void HideProgress() = 0;
};

// The part of the progress bar that one phase of a pass moves through, from
// `from` to `to`. The bar is set only at multiples of ten within the part.
struct ProgressRange {
    int from = 0;
    int to = 100;

    // How far into the part `done` of `total` steps are, in whole percent of the bar.
    int Part(uint64_t done, uint64_t total) const {
        return static_cast<int>(done * static_cast<uint64_t>(to - from) / total);
    }
    // Sets the bar after `done` of `total` steps where that is a multiple of ten
    // into the part.
    void Show(IConsole& console, uint64_t done, uint64_t total) const {
        if (const int part = Part(done, total); part % 10 == 0) {
            console.SetProgress(from + part);
        }
    }
};

// A console that keeps the text appended to it and nothing else: for a pass
// whose findings are looked at later, or not at all.
class TextConsole final : public IConsole {
  public:
    void AppendText(std::string_view text) override { m_text.append(text); }
    void ClearConsole() override { m_text.clear(); }
    void ShowProgress() override {}
    void SetProgress(int /*position*/) override {}
    void HideProgress() override {}

    const std::string& Text() const { return m_text; }

  private:
    std::string m_text;
};

// A console that drops everything: for a pass whose messages nobody reads,
// however many a damaged book makes it write.
class SilentConsole final : public IConsole {
  public:
    void AppendText(std::string_view /*text*/) override {}
    void ClearConsole() override {}
    void ShowProgress() override {}
    void SetProgress(int /*position*/) override {}
    void HideProgress() override {}
};

// Formats printf-style and returns the result, however long; empty when the
// format fails.
std::string VFormatLog(const char* format, va_list args) PLINTH_PRINTF_FORMAT(1, 0);
std::string FormatLog(const char* format, ...) PLINTH_PRINTF_FORMAT(1, 2);

// Formats printf-style and appends the result.
void PrintLog(IConsole& console, const char* format, ...) PLINTH_PRINTF_FORMAT(2, 3);
void VPrintLog(IConsole& console, const char* format, va_list args) PLINTH_PRINTF_FORMAT(2, 0);

}  // namespace plinth
