#pragma once

#include <QIcon>

#include <cstdint>

namespace quillet::iconHandles {

// Small 32-bit handles that stand for icons where a number is kept (the dialog component's
// hIcon). 0 is no icon; a removed handle finds no icon.
std::int32_t add(const QIcon &icon);
QIcon iconOf(std::int32_t handle);
void remove(std::int32_t handle);

} // namespace quillet::iconHandles
