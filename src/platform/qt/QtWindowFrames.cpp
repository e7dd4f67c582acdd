#include "platform/qt/QtWindowFrames.h"

#include <QWidget>
#include <QWindow>

namespace quillet {

QMargins QtWindowFrames::margins(const QWidget &window)
{
    const QWindow *handle = window.windowHandle();
    return handle && handle->isVisible() ? handle->frameMargins() : QMargins();
}

} // namespace quillet
