#pragma once

#include <QMargins>

class QWidget;

namespace quillet {

// The frame the desktop draws around a top-level window: its title bar and borders. Stored
// window sizes are outer sizes, frame included, while the toolkit sizes a window's inside.
class WindowFrames
{
public:
    virtual ~WindowFrames() = default;

    // The frame's width on each side of the window's inside, in pixels; none where the desktop
    // draws no frame, or has not drawn it yet.
    virtual QMargins margins(const QWidget &window) = 0;
};

} // namespace quillet
