#include "platform/Choosers.h"

#include <cstring>

namespace quillet {

QString FontRecord::face() const
{
    return QString::fromUtf8(faceName.data(), static_cast<qsizetype>(strnlen(faceName.data(), 32)));
}

} // namespace quillet
