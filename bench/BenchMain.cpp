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
#include "CommitBenchmarks.h"
#include "EditBenchmarks.h"
#include "HistoryBenchmarks.h"
#include "LongLineBenchmarks.h"
#include "MoveBenchmarks.h"
#include "OutlineBenchmarks.h"
#include "OutlineGenerator.h"
#include "RecordingMessageBoxes.h"
#include "SearchBenchmarks.h"
#include "SpellingBenchmarks.h"
#include "TransferBenchmarks.h"
#include "app/MDIForm1.h"
#include "app/Startup.h"
#include "notes/Form3.h"
#include "store/NoteSearch.h"
#include "support/NotesControls.h"
#include "tools/commands/DbTool.h"

#include <QApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace quillet;

constexpr int kSizes[] = {1000, 10000, kMaxOutlineItems};
constexpr std::uint32_t kSeed = 20240611;
constexpr double kLoadTreeTarget = 1.5;
constexpr double kStartupTarget = 2.0;
constexpr double kShowNoteTargetMs = 1.0;
constexpr double kKeepVersionTarget = 1.3;
constexpr double kHistoryWindowTargetMs = 100.0;
constexpr double kRssTargetMb = 64.0;
constexpr double kSearchTargetMs = 50.0;
// quillet-db's export of the largest outline, and a verified backup of its file.
constexpr double kExportTargetMs = 1000.0;
constexpr double kBackupTargetMs = 1000.0;
constexpr double kEditTarget = 1.5;
constexpr double kSaveWorkspaceTarget = 1.5;
// An import of the JSON export, against the export to a file.
constexpr double kImportTarget = 1.0;
// A keystroke in, and the showing of, a note of 1 MB in one line, against the same text in
// lines of 80 characters.
constexpr double kLongLineTarget = 2.0;

// The platform plugin's notes that the offscreen platform has no window manager to tell
// size hints to, and that no runtime folder is set; neither concerns a measurement.
void quietMessages(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg && (message.contains(QLatin1String("propagateSizeHints")) ||
                                 message.contains(QLatin1String("XDG_RUNTIME_DIR"))))
        return;
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

long peakRssKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss; // kilobytes on Linux
}

// The measuring process: nothing but the toolkit and one start-up, so that the figure is what
// a person starting the program would see, not what the benchmarks before it left behind.
int measureInThisProcess(int argc, char **argv)
{
    QApplication app(argc, argv);
    const long bareKb = peakRssKb();
    bench::RecordingMessageBoxes boxes;
    Platform platform{boxes};
    NotesSession session;
    std::unique_ptr<MDIForm1> window = openMainWindow(
        platform, session, QString::fromLocal8Bit(argv[2]), QStringLiteral("quillet-db"));
    if (!window || !bench::showUntilPainted(
                       window.get(), test::NotesControls(*window->form3()).TreeView1->viewport()))
        return 1;
    const long startupKb = peakRssKb();
    const std::atomic<bool> stop{false};
    const SearchResults found = searchNotes(argv[2], {bench::kSearchWord, true, false, 500}, stop);
    std::printf("bare-kb %ld\nstartup-kb %ld\nsearch-kb %ld\nitems %d\nboxes %zu\n", bareKb,
                startupKb, found.total > 0 ? peakRssKb() : 0L,
                test::NotesControls(*window->form3()).TreeView1->count(), boxes.asked().size());
    return 0;
}

// The measuring process of an import: the tool's own work, in a process that holds nothing else.
int measureImportInThisProcess(char **argv)
{
    dbtool::importJson(argv[2], argv[3]);
    std::printf("import-kb %ld\n", peakRssKb());
    std::remove(argv[3]);
    return 0;
}

// Linux carries the peak of the image a process replaces over into its ru_maxrss at exec,
// and the process started with --startup-rss or --import-rss comes from the benchmark process,
// forked at its full size. So it only starts the measuring process anew, from its own still
// small image, and passes on its output and its status.
int measuringChild(int argc, char **argv)
{
    std::fflush(stdout);
    const pid_t measuring = fork();
    if (measuring < 0)
        return 1;
    if (measuring == 0) {
        std::string flag = std::string(argv[1]) + "-measure";
        std::vector<char *> arguments{argv[0], flag.data()};
        arguments.insert(arguments.end(), argv + 2, argv + argc);
        arguments.push_back(nullptr);
        execv("/proc/self/exe", arguments.data());
        _exit(127);
    }
    int status = 0;
    if (waitpid(measuring, &status, 0) != measuring || !WIFEXITED(status))
        return 1;
    return WEXITSTATUS(status);
}

// The peak resident memory of an import of the database's JSON export, in kilobytes.
std::optional<long> measureImportRss(const std::string &path)
{
    const auto figures = bench::figuresOfChild({QStringLiteral("--import-rss"),
                                                QString::fromStdString(bench::jsonExportOf(path)),
                                                QString::fromStdString(path + ".rss.mdb")});
    if (!figures || !figures->contains("import-kb"))
        return std::nullopt;
    return figures->value("import-kb").toLong();
}

struct RssFigure
{
    long bareKb = 0;
    long startupKb = 0;
    long searchKb = 0; // after one search of every title and note, too
};

std::optional<RssFigure> measureStartupRss(const std::string &path, int items)
{
    const auto figures =
        bench::figuresOfChild({QStringLiteral("--startup-rss"), QString::fromStdString(path)});
    if (!figures)
        return std::nullopt;
    RssFigure figure;
    figure.bareKb = figures->value("bare-kb").toLong();
    figure.startupKb = figures->value("startup-kb").toLong();
    figure.searchKb = figures->value("search-kb").toLong();
    if (figures->value("items", "-1").toInt() != items ||
        figures->value("boxes", "1").toULong() != 0 || figure.startupKb == 0)
        return std::nullopt;
    return figure;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

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

        double wallMs() const { return median(wallMsPerRepetition); }
        double cpuMs() const { return median(cpuMsPerRepetition); }
    };

    void ReportRuns(const std::vector<Run> &runs) override
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

    // The figure of one benchmark at one size; nothing when it failed or never ran.
    const Figure *find(const std::string &name, int size) const
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

private:
    std::map<std::string, std::map<int, Figure>> m_figures;
};

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

const char *verdict(bool met)
{
    return met ? "met" : "MISSED";
}

// A figure and the baseline it is divided by.
struct Measurement
{
    const char *name;
    const char *base;
};

void printSummary(const CollectingReporter &reporter, const std::map<int, RssFigure> &rss,
                  const std::map<int, long> &importRss,
                  const std::optional<bench::SpellingRss> &spellingRss)
{
    const Measurement measurements[] = {
        {bench::kBaselineName, bench::kBaselineName},
        {"ScanOutline", bench::kBaselineName},
        {"LoadTree", bench::kBaselineName},
        {"ClearTree", bench::kBaselineName},
        {"ShowNote", bench::kBaselineName},
        {"NodeClick", bench::kBaselineName},
        {"Startup", bench::kBaselineName},
        {"AddItem", bench::kBaselineName},
        {"DeleteItem", bench::kBaselineName},
        {bench::kTransactionBaselineName, bench::kTransactionBaselineName},
        {"SaveWorkspace", bench::kTransactionBaselineName},
        {"Search", bench::kBaselineName},
        {"SearchAbsent", bench::kBaselineName},
        {"ExportMarkdown", bench::kBaselineName},
        {"ExportJson", bench::kBaselineName},
        {"ImportJson", "ExportJsonFile"},
        {"Backup", bench::kBaselineName},
        {"ImportOpml", "ImportJson"},
        {"ImportCherryTree", "ImportJson"},
        {"ImportMarkdownFolder", "ImportJson"},
        {"ExportJsonFile", "ExportJson"},
        {"ExportOpml", "ExportJson"},
        {"ExportMarkdownFolder", "ExportJson"},
        {bench::kCommitFullSyncName, bench::kCommitFullSyncName},
        {bench::kCommitName, bench::kCommitFullSyncName},
    };
    std::printf("\nPer call; each ratio is to the baseline named beside it at the same size: %s "
                "(three columns\nscanned, one model reset, no checks) or %s (every expanded flag "
                "written in one transaction).\nOther work on this machine inflates wall time, so "
                "the targets are judged on processor time;\nthe editing commands wait for the "
                "disk as well, which only wall time shows, so theirs are judged on both.\n",
                bench::kBaselineName, bench::kTransactionBaselineName);
    std::printf("%-26s %10s %10s %12s %12s  %s\n", "measurement", "wall ms", "cpu ms",
                "x base wall", "x base cpu", "base");
    for (int size : kSizes) {
        for (const Measurement &measurement : measurements) {
            const CollectingReporter::Figure *base = reporter.find(measurement.base, size);
            const std::string label = std::string(measurement.name) + "/" + std::to_string(size);
            const CollectingReporter::Figure *figure = reporter.find(measurement.name, size);
            if (!figure)
                std::printf("%-26s %10s\n", label.c_str(), "failed");
            else if (!base)
                std::printf("%-26s %10.3f %10.3f\n", label.c_str(), figure->wallMs(),
                            figure->cpuMs());
            else
                std::printf("%-26s %10.3f %10.3f %11.2fx %11.2fx  %s\n", label.c_str(),
                            figure->wallMs(), figure->cpuMs(), figure->wallMs() / base->wallMs(),
                            figure->cpuMs() / base->cpuMs(), measurement.base);
        }
    }

    std::printf("\nPeak resident memory after start-up (ru_maxrss of a fresh process, outline "
                "painted):\n");
    for (int size : kSizes) {
        const auto found = rss.find(size);
        if (found == rss.end())
            std::printf("  %6d items: failed\n", size);
        else
            std::printf("  %6d items: %.1f MB (of which %.1f MB before the window was built); "
                        "%.1f MB after a search\n",
                        size, found->second.startupKb / 1024.0, found->second.bareKb / 1024.0,
                        found->second.searchKb / 1024.0);
    }

    std::printf("\nPeak resident memory of quillet-db import-json of the JSON export (a fresh "
                "process):\n");
    for (int size : kSizes) {
        const auto found = importRss.find(size);
        if (found == importRss.end())
            std::printf("  %6d items: failed\n", size);
        else
            std::printf("  %6d items: %.1f MB\n", size, found->second / 1024.0);
    }

    std::printf("\nTargets:\n");
    const int largest = kMaxOutlineItems;
    const auto ratioTarget = [&](const char *name, const char *baseName, double limit) {
        const CollectingReporter::Figure *base = reporter.find(baseName, largest);
        const CollectingReporter::Figure *figure = reporter.find(name, largest);
        if (!figure || !base) {
            std::printf("  %s/%d within %.1fx of %s: not measured\n", name, largest, limit,
                        baseName);
            return;
        }
        const double ratio = figure->cpuMs() / base->cpuMs();
        std::printf("  %s/%d: %.1f ms cpu = %.2fx %s (%.1f ms cpu; wall %.1f ms = %.2fx); "
                    "target %.1fx: %s\n",
                    name, largest, figure->cpuMs(), ratio, baseName, base->cpuMs(),
                    figure->wallMs(), figure->wallMs() / base->wallMs(), limit,
                    verdict(ratio <= limit));
    };
    ratioTarget("LoadTree", bench::kBaselineName, kLoadTreeTarget);
    ratioTarget("Startup", bench::kBaselineName, kStartupTarget);
    // A write waits for the disk, which processor time does not see: judged on both clocks.
    const auto writeTarget = [&](const char *name, const char *baseName, double limit) {
        const CollectingReporter::Figure *base = reporter.find(baseName, largest);
        const CollectingReporter::Figure *figure = reporter.find(name, largest);
        if (!figure || !base) {
            std::printf("  %s/%d within %.1fx of %s: not measured\n", name, largest, limit,
                        baseName);
            return;
        }
        const double cpuRatio = figure->cpuMs() / base->cpuMs();
        const double wallRatio = figure->wallMs() / base->wallMs();
        std::printf("  %s/%d: cpu %.1f ms = %.2fx %s (%.1f ms), wall %.1f ms = %.2fx (%.1f ms); "
                    "target %.1fx: cpu %s, wall %s\n",
                    name, largest, figure->cpuMs(), cpuRatio, baseName, base->cpuMs(),
                    figure->wallMs(), wallRatio, base->wallMs(), limit, verdict(cpuRatio <= limit),
                    verdict(wallRatio <= limit));
    };
    writeTarget("AddItem", bench::kBaselineName, kEditTarget);
    writeTarget("DeleteItem", bench::kBaselineName, kEditTarget);
    writeTarget("SaveWorkspace", bench::kTransactionBaselineName, kSaveWorkspaceTarget);
    writeTarget("ImportJson", "ExportJsonFile", kImportTarget);
    for (int size : kSizes) {
        const CollectingReporter::Figure *figure = reporter.find("ShowNote", size);
        if (!figure)
            std::printf("  ShowNote/%d: not measured\n", size);
        else
            std::printf("  ShowNote/%d: %.3f ms cpu (wall %.3f ms); target under %.1f ms: %s\n",
                        size, figure->cpuMs(), figure->wallMs(), kShowNoteTargetMs,
                        verdict(figure->cpuMs() < kShowNoteTargetMs));
    }
    const auto peak = rss.find(largest);
    if (peak == rss.end())
        std::printf("  Peak RSS after start-up at %d items: not measured\n", largest);
    else
        std::printf("  Peak RSS after start-up at %d items: %.1f MB; target under %.0f MB: %s\n",
                    largest, peak->second.startupKb / 1024.0, kRssTargetMb,
                    verdict(peak->second.startupKb / 1024.0 < kRssTargetMb));
    if (peak != rss.end())
        std::printf(
            "  Peak RSS while searching at %d items: %.1f MB; target under %.0f MB: %s\n", largest,
            peak->second.searchKb / 1024.0, kRssTargetMb,
            verdict(peak->second.searchKb > 0 && peak->second.searchKb / 1024.0 < kRssTargetMb));
    if (const CollectingReporter::Figure *figure = reporter.find("Search", largest))
        std::printf("  Search/%d: %.1f ms (cpu %.1f ms); target under %.0f ms: %s\n", largest,
                    figure->wallMs(), figure->cpuMs(), kSearchTargetMs,
                    verdict(figure->wallMs() < kSearchTargetMs));
    else
        std::printf("  Search/%d: not measured\n", largest);
    const auto underTarget = [&](const char *name, double limitMs) {
        if (const CollectingReporter::Figure *figure = reporter.find(name, largest))
            std::printf("  %s/%d: %.1f ms (cpu %.1f ms); target under %.0f ms: %s\n", name, largest,
                        figure->wallMs(), figure->cpuMs(), limitMs,
                        verdict(figure->wallMs() < limitMs));
        else
            std::printf("  %s/%d: not measured\n", name, largest);
    };
    underTarget("ExportMarkdown", kExportTargetMs);
    underTarget("ExportJson", kExportTargetMs);
    underTarget("Backup", kBackupTargetMs);
    const bench::TimingOf timing = [&](const std::string &name,
                                       int size) -> std::optional<bench::Timing> {
        const CollectingReporter::Figure *figure = reporter.find(name, size);
        if (!figure)
            return std::nullopt;
        return bench::Timing{figure->cpuMs(), figure->wallMs()};
    };
    bench::printTransferTargets(timing);
    bench::printMoveTargets(timing);

    // What the folder's sync after each commit costs: it waits for the disk, not the processor.
    std::printf("\nOne note saved, one commit, wall time: with the store's folder sync after the "
                "journal (synchronous=EXTRA) and without it (FULL):\n");
    for (int size : kSizes) {
        const CollectingReporter::Figure *extra = reporter.find(bench::kCommitName, size);
        const CollectingReporter::Figure *full = reporter.find(bench::kCommitFullSyncName, size);
        if (!extra || !full)
            std::printf("  %6d items: not measured\n", size);
        else
            std::printf("  %6d items: %.2f ms against %.2f ms, %+.2f ms per commit (%.2fx); "
                        "processor time %.3f ms against %.3f ms\n",
                        size, extra->wallMs(), full->wallMs(), extra->wallMs() - full->wallMs(),
                        extra->wallMs() / full->wallMs(), extra->cpuMs(), full->cpuMs());
    }

    // Keeping the note a save replaces, as the first save of a visit does: one more write, in
    // the history's own file.
    std::printf("\nOne note saved keeping what it replaces in the history, against the save alone, "
                "wall time; target at most %.1fx:\n",
                kKeepVersionTarget);
    for (int size : kSizes) {
        const CollectingReporter::Figure *keeping =
            reporter.find(bench::kCommitKeepingVersionName, size);
        const CollectingReporter::Figure *plain = reporter.find(bench::kCommitName, size);
        if (!keeping || !plain)
            std::printf("  %6d items: not measured\n", size);
        else
            std::printf("  %6d items: %.2f ms against %.2f ms (%.2fx): %s\n", size,
                        keeping->wallMs(), plain->wallMs(), keeping->wallMs() / plain->wallMs(),
                        verdict(keeping->wallMs() / plain->wallMs() <= kKeepVersionTarget));
    }
    if (const CollectingReporter::Figure *window =
            reporter.find(bench::kHistoryWindowName, kSizes[0]))
        std::printf("The history window over 200 versions of 100 KB opens in %.1f ms wall; target "
                    "under %.0f ms: %s\n",
                    window->wallMs(), kHistoryWindowTargetMs,
                    verdict(window->wallMs() < kHistoryWindowTargetMs));

    // The long-line figures are judged on processor time, as the outline's are.
    const auto longLineTarget = [&](const char *name) {
        const CollectingReporter::Figure *oneLine = reporter.find(name, 0);
        const CollectingReporter::Figure *lines = reporter.find(name, 80);
        if (!oneLine || !lines) {
            std::printf("  %s, one line against lines of 80: not measured\n", name);
            return;
        }
        const double ratio = oneLine->cpuMs() / lines->cpuMs();
        std::printf("  %s, 1 MB in one line: %.2f ms cpu = %.2fx the same in lines of 80 "
                    "(%.2f ms; wall %.2f against %.2f ms); target %.1fx: %s\n",
                    name, oneLine->cpuMs(), ratio, lines->cpuMs(), oneLine->wallMs(),
                    lines->wallMs(), kLongLineTarget, verdict(ratio <= kLongLineTarget));
    };
    longLineTarget("TypeInNote");
    longLineTarget("ShowLongNote");
    if (const CollectingReporter::Figure *ordinary = reporter.find("TypeInNote", 1))
        std::printf("  TypeInNote, an ordinary note of 1 KB: %.2f ms cpu (wall %.2f ms)\n",
                    ordinary->cpuMs(), ordinary->wallMs());
    if (const auto import = importRss.find(largest); import != importRss.end())
        std::printf("  Peak RSS of an import at %d items: %.1f MB; target under %.0f MB: %s\n",
                    largest, import->second / 1024.0, kRssTargetMb,
                    verdict(import->second / 1024.0 < kRssTargetMb));
    else
        std::printf("  Peak RSS of an import at %d items: not measured\n", largest);
    bench::printSpellingTargets(timing, spellingRss, largest);
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
        return measuringChild(argc, argv);
    if (argc == 3 && std::string_view(argv[1]) == "--spelling-rss-measure")
        return bench::measureSpellingInThisProcess(argc, argv);
    if (argc == 4 && std::string_view(argv[1]) == "--import-rss-measure")
        return measureImportInThisProcess(argv);
    if (argc == 3 && std::string_view(argv[1]) == "--startup-rss-measure")
        return measureInThisProcess(argc, argv);
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
    bench::registerSearchBenchmarks();
    bench::registerArchiveBenchmarks();
    bench::registerTransferBenchmarks(folder.path().toStdString());
    bench::registerCommitBenchmarks();
    bench::registerHistoryBenchmarks();
    bench::registerLongLineBenchmarks();
    bench::registerMoveBenchmarks(folder.path().toStdString());
    bench::registerSpellingBenchmarks(folder.path().toStdString());
    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::map<int, RssFigure> rss;
    for (int size : kSizes)
        if (const std::optional<RssFigure> figure = measureStartupRss(databases[size], size))
            rss[size] = *figure;
    std::map<int, long> importRss;
    for (int size : kSizes)
        if (const std::optional<long> kb = measureImportRss(databases[size]))
            importRss[size] = *kb;
    const std::optional<bench::SpellingRss> spellingRss =
        bench::measureSpellingRss(databases[kMaxOutlineItems]);
    std::cout.flush();
    printSummary(reporter, rss, importRss, spellingRss);
    return 0;
}
