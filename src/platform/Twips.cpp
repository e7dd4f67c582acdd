#include "platform/Twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <cmath>

namespace quillet::twips {

namespace {

double dpiX()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInchX() : 96.0;
}

double dpiY()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInchY() : 96.0;
}

} // namespace

int toPixelsX(double twips)
{
    return static_cast<int>(std::lround(twips * dpiX() / kPerInch));
}

int toPixelsY(double twips)
{
    return static_cast<int>(std::lround(twips * dpiY() / kPerInch));
}

double fromPixelsX(int pixels)
{
    return pixels * kPerInch / dpiX();
}

double fromPixelsY(int pixels)
{
    return pixels * kPerInch / dpiY();
}

void place(QWidget *widget, int left, int top, int width, int height)
{
    widget->setGeometry(toPixelsX(left), toPixelsY(top), toPixelsX(width), toPixelsY(height));
}

} // namespace quillet::twips
