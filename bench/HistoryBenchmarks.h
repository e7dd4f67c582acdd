#pragma once

namespace quillet::bench {

// The name the history window's opening is registered under: a note with 200 versions of
// 100 KB each, the window built over them and its newest version shown with its difference.
inline constexpr const char *kHistoryWindowName = "HistoryWindow";

void registerHistoryBenchmarks();

} // namespace quillet::bench
