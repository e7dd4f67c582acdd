#include "PeakMemory.h"

#include "ArchiveBenchmarks.h"
#include "BenchSupport.h"
#include "OutlineBenchmarks.h"
#include "RecordingMessageBoxes.h"
#include "SearchBenchmarks.h"
#include "app/MDIForm1.h"
#include "app/Startup.h"
#include "notes/Form3.h"
#include "store/NoteSearch.h"
#include "support/NotesControls.h"
#include "tools/commands/DbTool.h"

#include <QApplication>

#include <atomic>
#include <cstdio>
#include <memory>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace quillet::bench {

long peakRssKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss; // kilobytes on Linux
}

// Nothing but the toolkit and one start-up, so that the figure is what a person starting the
// program would see, not what the benchmarks before it left behind.
int measureStartupInThisProcess(int argc, char **argv)
{
    QApplication app(argc, argv);
    const long bareKb = peakRssKb();
    RecordingMessageBoxes boxes;
    Platform platform{boxes};
    NotesSession session;
    std::unique_ptr<MDIForm1> window = openMainWindow(
        platform, session, QString::fromLocal8Bit(argv[2]), QStringLiteral("quillet-db"));
    if (!window || !showUntilPainted(window.get(),
                                     test::NotesControls(*window->form3()).TreeView1->viewport()))
        return 1;
    const long startupKb = peakRssKb();
    const std::atomic<bool> stop{false};
    const SearchResults found = searchNotes(argv[2], {kSearchWord, true, false, 500}, stop);
    std::printf("bare-kb %ld\nstartup-kb %ld\nsearch-kb %ld\nitems %d\nboxes %zu\n", bareKb,
                startupKb, found.total > 0 ? peakRssKb() : 0L,
                test::NotesControls(*window->form3()).TreeView1->count(), boxes.asked().size());
    return 0;
}

// The tool's own work, in a process that holds nothing else.
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

std::optional<RssFigure> measureStartupRss(const std::string &path, int items)
{
    const auto figures =
        figuresOfChild({QStringLiteral("--startup-rss"), QString::fromStdString(path)});
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

std::optional<long> measureImportRss(const std::string &path)
{
    const auto figures =
        figuresOfChild({QStringLiteral("--import-rss"), QString::fromStdString(jsonExportOf(path)),
                        QString::fromStdString(path + ".rss.mdb")});
    if (!figures || !figures->contains("import-kb"))
        return std::nullopt;
    return figures->value("import-kb").toLong();
}

} // namespace quillet::bench
