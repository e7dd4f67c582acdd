#pragma once

#include "RecordingMessageBoxes.h"
#include "keeping/Places.h"
#include "notes/Form3.h"
#include "platform/Platform.h"
#include "session/NotesSession.h"

#include <QCoreApplication>
#include <QEvent>
#include <QHash>
#include <QProcess>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <system_error>

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

// A private copy of a generated database for a benchmark that writes, named by the suffix. The
// generated files are shared by all benchmarks, which run in random order, and must stay as
// generated.
class EditableCopy
{
public:
    explicit EditableCopy(const std::string &original, const std::string &suffix = ".edit")
        : m_path(original + suffix)
    {
        std::error_code error;
        m_made = std::filesystem::copy_file(
                     original, m_path, std::filesystem::copy_options::overwrite_existing, error) &&
                 !error;
    }
    ~EditableCopy()
    {
        std::error_code ignored;
        std::filesystem::remove(m_path, ignored);
        std::filesystem::remove(m_path + "-journal", ignored);
        // A benchmark that keeps versions leaves the history file beside it too.
        for (const char *part : {"", "-wal", "-shm"})
            std::filesystem::remove(places::historyFile(m_path) + part, ignored);
    }
    EditableCopy(const EditableCopy &) = delete;
    EditableCopy &operator=(const EditableCopy &) = delete;

    bool made() const { return m_made; }
    const std::string &path() const { return m_path; }

private:
    std::string m_path;
    bool m_made = false;
};

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

// Runs this program again with the arguments, so that what it measures (peak memory) starts
// from nothing, and reads the "name value" lines it prints; nothing when it fails.
inline std::optional<QHash<QByteArray, QByteArray>> figuresOfChild(const QStringList &arguments)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), arguments);
    if (!child.waitForFinished(-1) || child.exitCode() != 0)
        return std::nullopt;
    QHash<QByteArray, QByteArray> figures;
    for (const QByteArray &line : child.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> words = line.split(' ');
        if (words.size() == 2)
            figures.insert(words[0], words[1]);
    }
    return figures;
}

} // namespace quillet::bench
