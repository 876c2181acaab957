#pragma once

// Windows only: the main window as a dialog of the system's own, from the
// template IDD_MAIN, and a face of the window model (WindowModel): the controls
// show what the model tells them, and the dialog procedure hands the model the
// user's clicks and keys. It holds no book logic of its own.

#include <windows.h>

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/model/WindowFace.h"
#include "app/model/WindowModel.h"

namespace plinth {

// The modal dialogs, message boxes and the help page that the window opens;
// the window's tests answer them instead of a person.
struct WindowDialogs {
    std::function<std::optional<std::string>(HWND owner)> chooseBook;
    std::function<bool(HWND owner, SettingsModel& settings)> askForSizes;
    std::function<void(HWND owner, const std::wstring& text)> showMessage;
    // False when no program could show the page.
    std::function<bool(HWND owner, const std::wstring& page)> showHelp;
};

// The system's own: the book selection and optimize settings dialogs, message
// boxes, and the help page opened through the shell.
WindowDialogs SystemDialogs();

// The next book selection of this run starts in the folder of `book`, a full
// path; a path whose only separator is its first character changes nothing.
void RememberBookFolder(const std::string& book);

class CPlinthDlg final : public IWindowFace {
  public:
    // The books are read through `files`.
    explicit CPlinthDlg(WindowDialogs dialogs = SystemDialogs(),
                        IFileSystem& files = SystemFileSystem());
    CPlinthDlg(const CPlinthDlg&) = delete;
    CPlinthDlg& operator=(const CPlinthDlg&) = delete;
    ~CPlinthDlg() override;

    // The book the window opens as it starts (plinth.exe BOOK).
    void OpenAtStart(std::string book) { m_bookAtStart = std::move(book); }
    // Runs the window until the user closes it.
    void DoModal();
    // Makes the window and returns; it ends with the object.
    HWND Create();
    HWND Window() const { return m_hWnd; }
    // The open book, which the settings measure.
    const BookReader& Book() const { return m_model.Book(); }

    // IWindowFace.
    void AppendText(std::string_view text) override;
    void ClearConsole() override;
    void ShowProgress() override;
    void SetProgress(int position) override;
    void HideProgress() override;
    void ShowAttributes(const std::vector<AttributeRow>& rows) override;
    void ShowControls(const ControlStates& states) override;
    void FocusOpenBook() override;
    void ShowWaitCursor(bool shown) override;
    std::optional<std::string> ChooseBook() override;
    bool AskForSizes(SettingsModel& settings) override;
    void ShowMessage(const std::string& text) override;
    void Post(std::function<void()> task) override;
    void HandleEvents(std::chrono::milliseconds interval) override;

  private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnInitDialog();
    // The icons, the Field column's width and the rows' height at the window's
    // resolution, when it starts and when it moves to another screen.
    void FitToScale();
    void OnCommand(int id);
    void OnHelp();
    void Close();
    void RunTasks();
    // Drops the keys and clicks that arrived during a pass and wait in the
    // queue: they are never handled after it.
    void DropInput();
    // Places the controls in the client area: the list tall enough for every
    // row, the console below it taking the rest, the top row's progress bar the
    // extra width and Help the right edge.
    void Layout();
    // Pixels of a rectangle in dialog units.
    RECT Pixels(RECT units) const;
    int ListHeight() const;
    HWND Item(int id) const { return GetDlgItem(m_hWnd, id); }

    WindowDialogs m_dialogs;
    HWND m_hWnd = nullptr;
    bool m_modal = false;
    HICON m_hIcon = nullptr;
    HICON m_hSmallIcon = nullptr;
    int m_rowHeight = 0;
    std::optional<std::string> m_bookAtStart;
    bool m_waitCursor = false;
    // The last text appended ended in a carriage return.
    bool m_endedInReturn = false;
    // The control that had the focus when a pass began.
    HWND m_focusBeforePass = nullptr;
    bool m_taskRan = false;
    std::mutex m_tasksLock;
    std::vector<std::function<void()>> m_tasks;
    // Last, made once the face is whole.
    WindowModel m_model;
};

}  // namespace plinth
