#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>

namespace quillet::bench {

// quillet-db's imports of OPML, a CherryTree SQLite document and a Markdown folder beside its
// import of its own JSON, and its exports as OPML and as a Markdown folder beside its JSON
// export, each of the same outline. Makes the files to import from the generated databases in
// folder, which must outlive the benchmark run.
void registerTransferBenchmarks(const std::string &folder);

// A benchmark's figure at one size, processor and wall milliseconds per call; nothing when it
// failed or did not run.
struct Timing
{
    double cpuMs = 0;
    double wallMs = 0;
};
using TimingOf = std::function<std::optional<Timing>(const std::string &name, int size)>;

// Run as "quillet-bench --peak-rss-of PROGRAM ARGUMENTS": runs the program and prints its peak
// resident memory in kilobytes; exits 1 when it failed.
int peakRssOf(char **argv);

// Prints the targets of the imports and exports at the largest size, and the peak memory of
// each as quillet-db, run in a process of its own.
void printTransferTargets(const TimingOf &timing);

} // namespace quillet::bench
