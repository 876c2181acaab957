#pragma once

// What a face of the main window does for the window model (WindowModel): it
// shows what the model tells it and asks the user what the model needs to know.
// The Qt window is one face, a Windows dialog another; the model's tests have a
// face of their own. Everything here is called on the face's thread, except
// Post, which any thread may call.

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "book/BookAttributes.h"
#include "book/Console.h"

namespace plinth {

class SettingsModel;

// Which controls of the window take input.
struct ControlStates {
    bool openBook = true;
    bool analyse = false;
    bool optimize = false;
    bool about = true;  // the About entry of the window's menu
    // While a pass runs no control takes input, and the window does not close.
    bool passRunning = false;
    bool operator==(const ControlStates&) const = default;
};

// The console (IConsole) is the face's text box and progress bar.
class IWindowFace : public IConsole {
  public:
    // The attribute list, row by row; no rows empties it.
    virtual void ShowAttributes(const std::vector<AttributeRow>& rows) = 0;
    virtual void ShowControls(const ControlStates& states) = 0;
    // Gives "Open book ..." the focus.
    virtual void FocusOpenBook() = 0;
    // The wait cursor over the window, from true until false.
    virtual void ShowWaitCursor(bool shown) = 0;

    // The book selection dialog: the bytes of the chosen book's full path, or
    // nothing when the user cancels.
    virtual std::optional<std::string> ChooseBook() = 0;
    // The optimize settings dialog over `settings`, until the user closes it:
    // true for OK. The dialog shows the settings' lists and lines, hands the
    // user's choices to it, and shows them again after each change (OnChange).
    virtual bool AskForSizes(SettingsModel& settings) = 0;
    // A message box with an OK button, until the user closes it.
    virtual void ShowMessage(const std::string& text) = 0;

    // Runs `task` on the face's thread as soon as that handles its events.
    virtual void Post(std::function<void()> task) = 0;
    // Handles the face's events (painting, input, posted tasks) for at most
    // `interval`, and less once a posted task has run.
    virtual void HandleEvents(std::chrono::milliseconds interval) = 0;
};

}  // namespace plinth
