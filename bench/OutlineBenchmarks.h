#pragma once

#include <map>
#include <string>

class QWidget;

namespace quillet::bench {

// The name every baseline figure is registered under; the summary divides by it.
inline constexpr const char *kBaselineName = "Baseline";

// Registers the outline benchmarks, one instance per database size. The map (size to database
// path) must outlive the benchmark run.
void registerOutlineBenchmarks(const std::map<int, std::string> &databases);

// Shows the window and handles events until `watched` has been painted once: the moment a
// person first sees it. False when it was never painted within a generous number of rounds
// of the event loop (a platform that paints nothing).
bool showUntilPainted(QWidget *window, QWidget *watched);

} // namespace quillet::bench
