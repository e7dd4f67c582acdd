#pragma once

namespace quillet {

class MessageBoxes;

// The desktop services a window uses, handed to it in its constructor. Tests pass fakes.
struct Platform
{
    MessageBoxes &messageBoxes;
};

} // namespace quillet
