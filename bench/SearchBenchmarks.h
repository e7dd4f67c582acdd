#pragma once

namespace quillet::bench {

// A search for a word in every title and note, as the find window runs it, at each size of
// outline; and a search for a word no note holds, which reads every note to its end. Needs
// registerOutlineBenchmarks to have been called.
void registerSearchBenchmarks();

// The word searched for: written in capitals, it finds the generated notes' small letters
// with their accent.
inline constexpr const char *kSearchWord = "ΚΑΛΗΜΕΡΑ";

} // namespace quillet::bench
