#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace quillet::twips {

// Window positions and sizes are kept in twips, 1440 to the inch, as stored in the settings.
// The conversion uses the screen's logical DPI, so a layout keeps its size in inches.
constexpr int kPerInch = 1440;

int toPixelsX(double twips);
int toPixelsY(double twips);
double fromPixelsX(int pixels);
double fromPixelsY(int pixels);

// Places a child widget at a rectangle given in twips.
void place(QWidget *widget, int left, int top, int width, int height);

} // namespace quillet::twips
