#pragma once

#include "RecordingMessageBoxes.h"
#include "notes/Form3.h"
#include "notes/NotesSession.h"
#include "platform/Platform.h"

#include <QCoreApplication>
#include <QEvent>

#include <benchmark/benchmark.h>

#include <map>
#include <string>

namespace quillet::bench {

// The generated databases by size; set once, before the benchmarks are registered, and kept
// until they have run.
inline const std::map<int, std::string> *g_databases = nullptr;

// Registers a benchmark to run at every size of outline, timed in milliseconds of wall time.
inline void registerAtEverySize(const char *name, void (*function)(benchmark::State &))
{
    benchmark::internal::Benchmark *b = benchmark::RegisterBenchmark(name, function);
    for (const auto &entry : *g_databases)
        b->Arg(entry.first);
    b->Unit(benchmark::kMillisecond)->UseRealTime();
}

inline int itemsOf(const benchmark::State &state)
{
    return static_cast<int>(state.range(0));
}

inline const std::string &databaseFor(const benchmark::State &state)
{
    return g_databases->at(itemsOf(state));
}

// Widgets and windows deleted with deleteLater wait for the event loop; hand them their
// deletion now so that nothing piles up from one measurement into the next.
inline void deletePending()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// False, with the benchmark marked as failed, when the program asked anything: the run then
// measured an error path, not the work it is named after.
inline bool noBoxes(benchmark::State &state, const RecordingMessageBoxes &boxes)
{
    if (boxes.asked().empty())
        return true;
    state.SkipWithError(("a message box appeared: " + boxes.asked().front().toStdString()).c_str());
    return false;
}

inline bool hasAllItems(benchmark::State &state, int count)
{
    if (count == itemsOf(state))
        return true;
    state.SkipWithError(("the outline holds " + std::to_string(count) + " items, not " +
                         std::to_string(itemsOf(state)))
                            .c_str());
    return false;
}

// The notes window on its own, loaded from the database at path, with nothing asked.
struct LoadedForm
{
    RecordingMessageBoxes boxes;
    Platform platform{boxes};
    NotesSession session;
    Form3 form{platform, session};

    explicit LoadedForm(const std::string &path)
    {
        session.setPath(path);
        form.Form_Load();
    }
};

} // namespace quillet::bench
