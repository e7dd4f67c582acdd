#include "ArchiveBenchmarks.h"

#include "BenchSupport.h"
#include "keeping/Backups.h"
#include "tools/commands/DbTool.h"

#include <cstdio>
#include <fstream>
#include <ostream>
#include <sstream>
#include <streambuf>

namespace quillet::bench {

namespace {

// Counts what is written and keeps none of it, so that the figure is the export's own work.
class CountingBuffer : public std::streambuf
{
public:
    std::size_t count = 0;

protected:
    int_type overflow(int_type c) override
    {
        ++count;
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char *, std::streamsize n) override
    {
        count += static_cast<std::size_t>(n);
        return n;
    }
};

void exportAs(benchmark::State &state, dbtool::ExportFormat format)
{
    CountingBuffer buffer;
    std::ostream out(&buffer);
    for (auto _ : state)
        dbtool::exportDatabase(databaseFor(state), format, out);
    state.counters["MB"] = static_cast<double>(buffer.count) / state.iterations() / (1 << 20);
}

void exportMarkdown(benchmark::State &state)
{
    exportAs(state, dbtool::ExportFormat::Markdown);
}

void exportJson(benchmark::State &state)
{
    exportAs(state, dbtool::ExportFormat::Json);
}

// The tool's commands whole, as a person runs them, with their files on the disk: an export
// to a file (written beside its name, synced, renamed) and an import of that file into a new
// database (created, filled in one transaction, synced).
bool runTool(benchmark::State &state, const std::vector<std::string> &args)
{
    std::ostringstream out;
    std::ostringstream err;
    if (dbtool::run(args, out, err) == 0)
        return true;
    state.SkipWithError(("quillet-db failed: " + err.str()).c_str());
    return false;
}

void exportJsonFile(benchmark::State &state)
{
    const std::string &path = databaseFor(state);
    for (auto _ : state)
        if (!runTool(state, {"export", path, "--format", "json", "--output", path + ".json"}))
            break;
}

void importJson(benchmark::State &state)
{
    const std::string json = jsonExportOf(databaseFor(state));
    const std::string imported = databaseFor(state) + ".imported.mdb";
    for (auto _ : state) {
        state.PauseTiming();
        std::remove(imported.c_str());
        state.ResumeTiming();
        if (!runTool(state, {"import-json", json, imported}))
            break;
    }
    std::remove(imported.c_str());
}

void backUp(benchmark::State &state)
{
    // Each backup is copied, synced, checked and renamed; one is kept, so the folder stays small.
    for (auto _ : state)
        backups::make(databaseFor(state), 1);
}

} // namespace

std::string jsonExportOf(const std::string &path)
{
    const std::string json = path + ".json";
    if (!std::ifstream(json).good()) {
        std::ofstream out(json, std::ios::binary);
        dbtool::exportDatabase(path, dbtool::ExportFormat::Json, out);
    }
    return json;
}

void registerArchiveBenchmarks()
{
    registerAtEverySize("ExportMarkdown", exportMarkdown);
    registerAtEverySize("ExportJson", exportJson);
    registerAtEverySize("ExportJsonFile", exportJsonFile);
    registerAtEverySize("ImportJson", importJson);
    registerAtEverySize("Backup", backUp);
}

} // namespace quillet::bench
