#pragma once

#include <QColor>

#include <cstdint>

namespace quillet::colors {

// Colours are stored as 32-bit values 0x00BBGGRR. Values with the top bit set name a system
// colour by its index in the low byte; the common ones map to the desktop palette.
QColor fromStored(std::int32_t value);
std::int32_t toStored(const QColor &color);

} // namespace quillet::colors
