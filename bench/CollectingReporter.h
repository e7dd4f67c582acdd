#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace quillet::bench {

// Keeps the time per call of every repetition of each benchmark, by name and size, and passes
// the runs on to the console: each run when there is one repetition, otherwise the failures
// and only the median and the spread, which say more than a column of single repetitions.
class CollectingReporter : public benchmark::ConsoleReporter
{
public:
    struct Figure
    {
        std::vector<double> wallMsPerRepetition;
        std::vector<double> cpuMsPerRepetition;
        bool failed = false;

        // The medians of the repetitions.
        double wallMs() const;
        double cpuMs() const;
    };

    void ReportRuns(const std::vector<Run> &runs) override;

    // The figure of one benchmark at one size; nothing when it failed or never ran.
    const Figure *find(const std::string &name, int size) const;

private:
    std::map<std::string, std::map<int, Figure>> m_figures;
};

} // namespace quillet::bench
