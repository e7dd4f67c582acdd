#pragma once

#include "OutlineGenerator.h"

namespace quillet::bench {

// The outlines every benchmark runs on, by number of items: small, large, and the outline's
// limit.
inline constexpr int kSizes[] = {1000, 10000, kMaxOutlineItems};

} // namespace quillet::bench
