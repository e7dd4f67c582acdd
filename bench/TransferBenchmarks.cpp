#include "TransferBenchmarks.h"

#include "BenchSupport.h"
#include "OutlineGenerator.h"
#include "store/Keys.h"
#include "store/Sqlite.h"
#include "store/Tables.h"
#include "tools/commands/DbTool.h"

#include <QCoreApplication>
#include <QProcess>

#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <unordered_map>

namespace quillet::bench {

namespace {

// The files each benchmark imports, by size, and the folder new files go in.
struct Inputs
{
    std::string json, opml, ctb, markdown;
};
std::map<int, Inputs> g_inputs;
std::string g_folder;

// The generated outline as a CherryTree SQLite document: each item a node of rich text under
// its parent, in its order.
void writeCherryTree(const std::string &database, const std::string &path)
{
    Connection from(database, Connection::Mode::ReadOnly);
    Connection to(path, Connection::Mode::Create);
    to.exec("CREATE TABLE node (node_id INTEGER UNIQUE, name TEXT, txt TEXT, syntax TEXT, tags "
            "TEXT, is_ro INTEGER, is_richtxt INTEGER, has_codebox INTEGER, has_table INTEGER, "
            "has_image INTEGER, level INTEGER, ts_creation INTEGER, ts_lastsave INTEGER);"
            "CREATE TABLE children (node_id INTEGER UNIQUE, father_id INTEGER, sequence "
            "INTEGER); BEGIN");
    Statement node(to, "INSERT INTO node (node_id, name, txt, syntax, is_richtxt) VALUES (?, ?, "
                       "?, 'custom-colors', 1)");
    Statement child(to, "INSERT INTO children (node_id, father_id, sequence) VALUES (?, ?, ?)");
    std::unordered_map<std::string, std::int64_t> idOfKey;
    std::int64_t sequence = 0;
    forEachStoredRow(from, [&](const StoredRow &row) {
        const std::int64_t id = *row[0].integer();
        const std::string key = row[1].toText().value_or("");
        idOfKey[key] = id;
        std::string txt = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><node><rich_text>";
        for (const char c : row[3].toText().value_or(""))
            txt += c == '<'   ? std::string("&lt;")
                   : c == '&' ? std::string("&amp;")
                              : std::string(1, c);
        txt += "</rich_text></node>";
        node.reset();
        node.bind(1, id);
        node.bind(2, row[2]);
        node.bind(3, txt);
        node.run();
        const std::string parent = keys::parent(key);
        child.reset();
        child.bind(1, id);
        child.bind(2, parent.empty() ? std::int64_t{0} : idOfKey.at(parent));
        child.bind(3, ++sequence);
        child.run();
    });
    to.exec("COMMIT");
}

std::string newDatabase()
{
    const std::string path = g_folder + "/imported.mdb";
    std::filesystem::remove(path);
    return path;
}

void importAs(benchmark::State &state, const std::string &file,
              std::optional<dbtool::ImportFormat> format)
{
    for (auto _ : state) {
        state.PauseTiming();
        const std::string path = newDatabase();
        state.ResumeTiming();
        if (format)
            dbtool::importOutline(file, path, format);
        else
            dbtool::importJson(file, path);
    }
}

void importJson(benchmark::State &state)
{
    importAs(state, g_inputs.at(itemsOf(state)).json, std::nullopt);
}

void importOpml(benchmark::State &state)
{
    importAs(state, g_inputs.at(itemsOf(state)).opml, dbtool::ImportFormat::Opml);
}

void importCherryTree(benchmark::State &state)
{
    importAs(state, g_inputs.at(itemsOf(state)).ctb, dbtool::ImportFormat::CherryTreeSqlite);
}

void importMarkdown(benchmark::State &state)
{
    importAs(state, g_inputs.at(itemsOf(state)).markdown, dbtool::ImportFormat::Markdown);
}

// Keeps nothing of what is written, as the JSON export's benchmark does.
class Discard : public std::streambuf
{
protected:
    int_type overflow(int_type c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char *, std::streamsize n) override { return n; }
};

void exportOpml(benchmark::State &state)
{
    Discard discard;
    std::ostream out(&discard);
    for (auto _ : state)
        dbtool::exportOpml(databaseFor(state), out);
}

void exportMarkdownFolder(benchmark::State &state)
{
    // A new folder each time, the ones before kept until the run ends: removing tens of
    // thousands of files makes the file system slow to make new ones for seconds after, on a
    // disk mounted to discard freed blocks, and that would be measured instead of the export.
    static int exports = 0;
    for (auto _ : state)
        dbtool::exportMarkdownFolder(databaseFor(state),
                                     g_folder + "/exported-" + std::to_string(++exports));
}

// Runs quillet-db in a process of its own and returns its peak resident memory in MB. Linux
// carries the peak of a process that execs into the program it becomes, and a child of this
// process starts at its size; so the measuring is done by this program started anew, small,
// which starts quillet-db (see peakRssOf).
std::optional<double> peakMb(const std::vector<std::string> &arguments)
{
    QStringList words{QStringLiteral("--peak-rss-of"),
                      QCoreApplication::applicationDirPath() + QStringLiteral("/quillet-db")};
    for (const std::string &argument : arguments)
        words << QString::fromStdString(argument);
    QProcess launcher;
    launcher.start(QCoreApplication::applicationFilePath(), words);
    if (!launcher.waitForFinished(-1) || launcher.exitCode() != 0)
        return std::nullopt;
    bool ok = false;
    const double kb = launcher.readAllStandardOutput().trimmed().toDouble(&ok);
    if (!ok)
        return std::nullopt;
    return kb / 1024.0;
}

void exportJsonFile(benchmark::State &state)
{
    const std::string file = g_folder + "/exported.json";
    std::ostringstream ignored;
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove(file);
        state.ResumeTiming();
        if (dbtool::run({"export", databaseFor(state), "--format", "json", "--output", file},
                        ignored, ignored) != 0)
            state.SkipWithError("the export failed");
    }
}

} // namespace

void registerTransferBenchmarks(const std::string &folder)
{
    g_folder = folder;
    for (const auto &[size, database] : *g_databases) {
        Inputs &inputs = g_inputs[size];
        const std::string stem = folder + "/outline-" + std::to_string(size);
        inputs.json = stem + ".json";
        inputs.opml = stem + ".opml";
        inputs.ctb = stem + ".ctb";
        inputs.markdown = stem + "-md";
        std::ofstream json(inputs.json, std::ios::binary);
        dbtool::exportDatabase(database, dbtool::ExportFormat::Json, json);
        std::ofstream opml(inputs.opml, std::ios::binary);
        dbtool::exportOpml(database, opml);
        writeCherryTree(database, inputs.ctb);
        dbtool::exportMarkdownFolder(database, inputs.markdown);
    }
    registerAtEverySize("ImportJson", importJson);
    registerAtEverySize("ImportOpml", importOpml);
    registerAtEverySize("ImportCherryTree", importCherryTree);
    registerAtEverySize("ImportMarkdownFolder", importMarkdown);
    registerAtEverySize("ExportJsonFile", exportJsonFile);
    registerAtEverySize("ExportOpml", exportOpml);
    registerAtEverySize("ExportMarkdownFolder", exportMarkdownFolder);
}

int peakRssOf(char **argv)
{
    const pid_t child = fork();
    if (child < 0)
        return 1;
    if (child == 0) {
        // What the tool says is not the measurement.
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::dup2(null, 2);
        execv(argv[0], argv);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return 1;
    std::printf("%ld\n", usage.ru_maxrss);
    return 0;
}

void printTransferTargets(const TimingOf &timing)
{
    const int largest = kMaxOutlineItems;
    struct Target
    {
        const char *name;
        const char *base;
        double limit;
    };
    // import-json and the CherryTree import work on two threads, and a benchmark's processor
    // time is that of its own thread: the imports are compared by wall time, the exports by
    // processor time.
    std::printf("  Moving in and out against the same outline's JSON, imports by wall time, "
                "exports by processor time (ExportJson writes to a counter, ExportJsonFile to a "
                "file as export --output does):\n");
    for (const Target &target :
         {Target{"ImportOpml", "ImportJson", 2.0}, Target{"ImportCherryTree", "ImportJson", 2.0},
          Target{"ImportMarkdownFolder", "ImportJson", 4.0},
          Target{"ExportOpml", "ExportJson", 2.0},
          Target{"ExportMarkdownFolder", "ExportJson", 5.0},
          Target{"ExportMarkdownFolder", "ExportJsonFile", 5.0}}) {
        const std::optional<Timing> figure = timing(target.name, largest);
        const std::optional<Timing> base = timing(target.base, largest);
        if (!figure || !base) {
            std::printf("  %s/%d: not measured\n", target.name, largest);
            continue;
        }
        const bool byWall = std::string_view(target.base) == "ImportJson";
        const double ratio = byWall ? figure->wallMs / base->wallMs : figure->cpuMs / base->cpuMs;
        std::printf("  %s/%d: cpu %.1f ms = %.2fx %s (%.1f ms), wall %.1f ms = %.2fx (%.1f ms); "
                    "target %.0fx by %s: %s\n",
                    target.name, largest, figure->cpuMs, figure->cpuMs / base->cpuMs, target.base,
                    base->cpuMs, figure->wallMs, figure->wallMs / base->wallMs, base->wallMs,
                    target.limit, byWall ? "wall time" : "processor time",
                    ratio <= target.limit ? "met" : "MISSED");
    }
    const Inputs &inputs = g_inputs.at(largest);
    const std::string database = g_databases->at(largest);
    const std::string made = g_folder + "/measured";
    struct Run
    {
        const char *name;
        std::vector<std::string> arguments;
    };
    const std::vector<Run> runs{
        {"import-json", {"import-json", inputs.json, made + ".mdb"}},
        {"import OPML", {"import", inputs.opml, made + ".mdb"}},
        {"import .ctb", {"import", inputs.ctb, made + ".mdb"}},
        {"import Markdown folder", {"import", inputs.markdown, made + ".mdb"}},
        {"export JSON", {"export", database, "--format", "json", "--output", made + ".out"}},
        {"export OPML", {"export", database, "--format", "opml", "--output", made + ".out"}},
        {"export Markdown folder",
         {"export", database, "--format", "markdown-folder", "--output", made + "-md"}},
    };
    std::printf("  Peak memory of quillet-db at %d items (target under 100 MB):\n", largest);
    for (const Run &run : runs) {
        std::filesystem::remove(made + ".mdb");
        std::filesystem::remove(made + ".out");
        std::filesystem::remove_all(made + "-md");
        const std::optional<double> mb = peakMb(run.arguments);
        if (mb)
            std::printf("    %-24s %6.1f MB: %s\n", run.name, *mb, *mb < 100 ? "met" : "MISSED");
        else
            std::printf("    %-24s failed\n", run.name);
    }
}

} // namespace quillet::bench
