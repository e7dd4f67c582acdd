#pragma once

namespace quillet {

class Choosers;
class MessageBoxes;

// The desktop services a window uses, handed to it in its constructor. Tests pass fakes.
struct Platform
{
    MessageBoxes &messageBoxes;
    Choosers *choosers = nullptr; // the font and colour choosers; none where nothing asks
};

} // namespace quillet
