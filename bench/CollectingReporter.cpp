#include "CollectingReporter.h"

#include <algorithm>

namespace quillet::bench {

namespace {

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

} // namespace

double CollectingReporter::Figure::wallMs() const
{
    return median(wallMsPerRepetition);
}

double CollectingReporter::Figure::cpuMs() const
{
    return median(cpuMsPerRepetition);
}

void CollectingReporter::ReportRuns(const std::vector<Run> &runs)
{
    std::vector<Run> shown;
    for (const Run &run : runs) {
        if (run.run_type == Run::RT_Aggregate) {
            if (run.aggregate_name == "median" || run.aggregate_name == "cv")
                shown.push_back(run);
            continue;
        }
        // A failure shows whatever the repetitions, or its message would never be seen.
        if (run.repetitions <= 1 || run.error_occurred)
            shown.push_back(run);
        Figure &figure = m_figures[run.run_name.function_name][std::stoi(run.run_name.args)];
        figure.failed = figure.failed || run.error_occurred || run.iterations == 0;
        if (run.iterations > 0) {
            const double calls = static_cast<double>(run.iterations);
            figure.wallMsPerRepetition.push_back(run.real_accumulated_time / calls * 1e3);
            figure.cpuMsPerRepetition.push_back(run.cpu_accumulated_time / calls * 1e3);
        }
    }
    if (!shown.empty())
        ConsoleReporter::ReportRuns(shown);
}

const CollectingReporter::Figure *CollectingReporter::find(const std::string &name, int size) const
{
    const auto byName = m_figures.find(name);
    if (byName == m_figures.end())
        return nullptr;
    const auto bySize = byName->second.find(size);
    if (bySize == byName->second.end() || bySize->second.failed ||
        bySize->second.wallMsPerRepetition.empty())
        return nullptr;
    return &bySize->second;
}

} // namespace quillet::bench
