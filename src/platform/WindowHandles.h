#pragma once

#include <QPointer>
#include <QWidget>

#include <cstdint>

namespace quillet::windowHandles {

// Small 32-bit handles that stand for windows where a number is kept (the dialog component's
// owner window), without making the window a native one. A destroyed window's handle finds
// nothing.
std::int32_t handleOf(QWidget *window);
QWidget *windowOf(std::int32_t handle);

} // namespace quillet::windowHandles
