#pragma once

#include <functional>

namespace quillet {

class Choosers;
class MessageBoxes;
class Printers;
class Screens;
class Shell;
class WindowFrames;

// The desktop services a window uses, handed to it in its constructor. Tests pass fakes.
struct Platform
{
    MessageBoxes &messageBoxes;
    Choosers *choosers = nullptr;   // the font and colour choosers; none where nothing asks
    WindowFrames *frames = nullptr; // the desktop's window frames; none: windows have no frame
    Printers *printers = nullptr;   // the program's printers; none: no printer is installed
    Shell *shell = nullptr;         // the desktop's shell; none: its dialogs do nothing
    Screens *screens = nullptr;     // the screens; none: as the toolkit reports them
    // Ends the program at once, with status 0 and no window's closing handlers.
    std::function<void()> endProgram = {};
};

} // namespace quillet
