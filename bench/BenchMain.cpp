// quillet-bench: the outline's costs at three sizes, each as a ratio to a baseline measured
// in the same run, and the peak memory of a fresh start-up.
//
//   quillet-bench [benchmark flags]      runs everything and prints the summary
//   quillet-bench --startup-rss PATH     (internal) starts the main window on PATH in a fresh
//                                        process, prints its peak resident memory and exits
//   quillet-bench --peak-rss-of PROGRAM ARGS (internal) runs PROGRAM, prints its peak resident
//                                        memory in kilobytes
//   quillet-bench --import-rss JSON PATH (internal) imports JSON into a new database at PATH in
//                                        a fresh process, prints its peak resident memory, exits
//   quillet-bench --spelling-rss PATH    (internal) as --startup-rss, then loads spelling and
//                                        prints the peak resident memory before and after

#include "ArchiveBenchmarks.h"
#include "BenchSizes.h"
#include "CollectingReporter.h"
#include "CommitBenchmarks.h"
#include "EditBenchmarks.h"
#include "HistoryBenchmarks.h"
#include "LongLineBenchmarks.h"
#include "MoveBenchmarks.h"
#include "OutlineBenchmarks.h"
#include "OutlineGenerator.h"
#include "PeakMemory.h"
#include "SearchBenchmarks.h"
#include "SpellingBenchmarks.h"
#include "Summary.h"
#include "TransferBenchmarks.h"
#include "WorkspaceBenchmarks.h"

#include <QApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace quillet;
using bench::kSizes;

constexpr std::uint32_t kSeed = 20240611;

// The platform plugin's notes that the offscreen platform has no window manager to tell
// size hints to, and that no runtime folder is set; neither concerns a measurement.
void quietMessages(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg && (message.contains(QLatin1String("propagateSizeHints")) ||
                                 message.contains(QLatin1String("XDG_RUNTIME_DIR"))))
        return;
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

// The command line with this program's defaults before the caller's own flags, which win:
// three repetitions, run in random interleaved order, so that a spell of load from other work
// on the machine spreads over all figures instead of landing on one of them, and the median
// of the three leaves a disturbed repetition out.
std::vector<char *> withDefaults(int argc, char **argv)
{
    static char repetitions[] = "--benchmark_repetitions=3";
    static char interleaving[] = "--benchmark_enable_random_interleaving=true";
    std::vector<char *> arguments{argv[0]};
    const auto given = [&](std::string_view flag) {
        for (int i = 1; i < argc; ++i)
            if (std::string_view(argv[i]).starts_with(flag))
                return true;
        return false;
    };
    if (!given("--benchmark_repetitions"))
        arguments.push_back(repetitions);
    if (!given("--benchmark_enable_random_interleaving"))
        arguments.push_back(interleaving);
    arguments.insert(arguments.end(), argv + 1, argv + argc);
    arguments.push_back(nullptr);
    return arguments;
}

} // namespace

int main(int argc, char **argv)
{
    // Headless unless the caller chose a platform: nothing here is meant to be looked at.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    qInstallMessageHandler(quietMessages);
    if ((argc == 3 && std::string_view(argv[1]) == "--startup-rss") ||
        (argc == 3 && std::string_view(argv[1]) == "--spelling-rss") ||
        (argc == 4 && std::string_view(argv[1]) == "--import-rss"))
        return bench::measuringChild(argc, argv);
    if (argc == 3 && std::string_view(argv[1]) == "--spelling-rss-measure")
        return bench::measureSpellingInThisProcess(argc, argv);
    if (argc == 4 && std::string_view(argv[1]) == "--import-rss-measure")
        return bench::measureImportInThisProcess(argv);
    if (argc == 3 && std::string_view(argv[1]) == "--startup-rss-measure")
        return bench::measureStartupInThisProcess(argc, argv);
    if (argc >= 3 && std::string_view(argv[1]) == "--peak-rss-of")
        return bench::peakRssOf(argv + 2);

    std::vector<char *> arguments = withDefaults(argc, argv);
    int count = static_cast<int>(arguments.size()) - 1;
    benchmark::Initialize(&count, arguments.data());
    QApplication app(count, arguments.data());
    QApplication::setApplicationName(QStringLiteral("Quillet"));

    QTemporaryDir folder;
    if (!folder.isValid()) {
        std::fprintf(stderr, "quillet-bench: cannot make a temporary folder\n");
        return 1;
    }
    std::map<int, std::string> databases;
    for (int size : kSizes) {
        const std::string path =
            folder.filePath(QStringLiteral("outline-%1.mdb").arg(size)).toStdString();
        generateOutline(path, size, kSeed);
        if (!checkGenerated(path, size)) {
            std::fprintf(stderr,
                         "quillet-bench: the generated outline of %d items is not as "
                         "the benchmarks expect\n",
                         size);
            return 1;
        }
        databases[size] = path;
    }
    std::fflush(stdout);

    bench::registerOutlineBenchmarks(databases);
    bench::registerEditBenchmarks();
    bench::registerWorkspaceBenchmarks();
    bench::registerSearchBenchmarks();
    bench::registerArchiveBenchmarks();
    bench::registerTransferBenchmarks(folder.path().toStdString());
    bench::registerCommitBenchmarks();
    bench::registerHistoryBenchmarks();
    bench::registerLongLineBenchmarks();
    bench::registerMoveBenchmarks(folder.path().toStdString());
    bench::registerSpellingBenchmarks(folder.path().toStdString());
    bench::CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::map<int, bench::RssFigure> rss;
    for (int size : kSizes)
        if (const std::optional<bench::RssFigure> figure =
                bench::measureStartupRss(databases[size], size))
            rss[size] = *figure;
    std::map<int, long> importRss;
    for (int size : kSizes)
        if (const std::optional<long> kb = bench::measureImportRss(databases[size]))
            importRss[size] = *kb;
    const std::optional<bench::SpellingRss> spellingRss =
        bench::measureSpellingRss(databases[kMaxOutlineItems]);
    std::cout.flush();
    bench::printSummary(reporter, rss, importRss, spellingRss);
    return 0;
}
