#include "ArchiveBenchmarks.h"

#include "BenchSupport.h"
#include "keeping/Backups.h"
#include "tools/DbTool.h"

#include <ostream>
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

void backUp(benchmark::State &state)
{
    // Each backup is copied, synced, checked and renamed; one is kept, so the folder stays small.
    for (auto _ : state)
        backups::make(databaseFor(state), 1);
}

} // namespace

void registerArchiveBenchmarks()
{
    registerAtEverySize("ExportMarkdown", exportMarkdown);
    registerAtEverySize("ExportJson", exportJson);
    registerAtEverySize("Backup", backUp);
}

} // namespace quillet::bench
