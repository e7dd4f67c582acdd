#pragma once

#include <QList>
#include <QRect>

namespace quillet {

// The screens there are: each one's whole area and the part a window may use (without the
// desktop's panels and docks), the main screen first.
struct ScreenArea
{
    QRect whole;
    QRect available;
};

class Screens
{
public:
    virtual ~Screens() = default;
    virtual QList<ScreenArea> areas() const = 0;
};

// The screens as the toolkit reports them.
QList<ScreenArea> desktopScreens();

} // namespace quillet
