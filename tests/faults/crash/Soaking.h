#pragma once

#include <cstdlib>
#include <string_view>

namespace quillet::crashtest {

// QUILLET_SOAK=1 in the environment (make soak) makes the crash tests run far longer.
inline bool soaking()
{
    const char *soak = std::getenv("QUILLET_SOAK");
    return soak && std::string_view(soak) == "1";
}

} // namespace quillet::crashtest
