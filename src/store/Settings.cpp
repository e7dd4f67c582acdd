#include "store/Settings.h"

#include <stdexcept>
#include <string>

namespace quillet {

static void checkPosition(int position)
{
    if (position < 1 || position > Settings::kCount)
        throw std::out_of_range("Settings position " + std::to_string(position) +
                                " is out of range (1 to 30).");
}

std::int32_t &Settings::at(int position)
{
    checkPosition(position);
    return m_values[position - 1];
}

std::int32_t Settings::at(int position) const
{
    checkPosition(position);
    return m_values[position - 1];
}

void Settings::clearFrom(int first)
{
    for (int position = first; position <= kCount; ++position)
        at(position) = 0;
}

} // namespace quillet
