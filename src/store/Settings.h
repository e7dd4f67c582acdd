#pragma once

#include <array>
#include <cstdint>

namespace quillet {

// The program's numeric settings: 30 signed 32-bit positions numbered from 1. Positions 1 to 4
// are the main window's left, top, width and height in twips, 5 the selected outline index;
// the rest are carried through unchanged.
class Settings
{
public:
    static constexpr int kCount = 30;

    // Throws std::out_of_range for a position outside 1 to 30.
    std::int32_t &at(int position);
    std::int32_t at(int position) const;

    // Sets positions first to 30 to 0.
    void clearFrom(int first);

private:
    std::array<std::int32_t, kCount> m_values{};
};

} // namespace quillet
