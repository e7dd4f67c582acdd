#pragma once

#include "platform/WindowFrames.h"

namespace quillet {

// The frame as the window system reports it for a window that is shown.
class QtWindowFrames : public WindowFrames
{
public:
    QMargins margins(const QWidget &window) override;
};

} // namespace quillet
