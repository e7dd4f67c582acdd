#include "support/FakeChoosers.h"

#include <cstring>

namespace quillet::test {

FontResult FakeChoosers::font(const char *face, std::int32_t tenths, std::int32_t color, bool bold,
                              bool italic)
{
    FontResult result;
    result.confirmed = true;
    std::strncpy(result.font.faceName.data(), face, 32);
    result.font.weight = bold ? 700 : 400;
    result.font.italic = italic ? 1 : 0;
    result.pointSize = tenths;
    result.color = color;
    result.fontType = 0x2000 | (bold ? 0x100u : 0u);
    return result;
}

} // namespace quillet::test
