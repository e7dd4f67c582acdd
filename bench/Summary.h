#pragma once

#include "CollectingReporter.h"
#include "PeakMemory.h"
#include "SpellingBenchmarks.h"

#include <map>
#include <optional>

namespace quillet::bench {

// Prints what the run measured after its console output: every figure at every size as a
// ratio to its baseline, the peak memory of a start-up and of an import (by size), and each
// target, met or missed.
void printSummary(const CollectingReporter &reporter, const std::map<int, RssFigure> &rss,
                  const std::map<int, long> &importRss,
                  const std::optional<SpellingRss> &spellingRss);

} // namespace quillet::bench
