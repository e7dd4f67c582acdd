#pragma once

namespace quillet {

class Choosers;
class MessageBoxes;
class WindowFrames;

// The desktop services a window uses, handed to it in its constructor. Tests pass fakes.
struct Platform
{
    MessageBoxes &messageBoxes;
    Choosers *choosers = nullptr;   // the font and colour choosers; none where nothing asks
    WindowFrames *frames = nullptr; // the desktop's window frames; none: windows have no frame
};

} // namespace quillet
