#include "platform/Screens.h"

#include <QGuiApplication>
#include <QScreen>

namespace quillet {

QList<ScreenArea> desktopScreens()
{
    QList<ScreenArea> areas;
    const QScreen *primary = QGuiApplication::primaryScreen();
    if (primary)
        areas.push_back({primary->geometry(), primary->availableGeometry()});
    for (const QScreen *screen : QGuiApplication::screens())
        if (screen != primary)
            areas.push_back({screen->geometry(), screen->availableGeometry()});
    return areas;
}

} // namespace quillet
