#pragma once

#include "platform/WindowFrames.h"

namespace quillet::test {

// A desktop that draws the same frame around every window, from the start.
class FakeWindowFrames : public WindowFrames
{
public:
    explicit FakeWindowFrames(QMargins frame)
        : m_frame(frame)
    {
    }
    QMargins margins(const QWidget &) override { return m_frame; }

private:
    QMargins m_frame;
};

} // namespace quillet::test
