#include "HistoryBenchmarks.h"

#include "BenchSupport.h"
#include "keeping/History.h"
#include "notes/windows/HistoryWindow.h"
#include "session/NotesSession.h"
#include "store/NoteStore.h"
#include "support/FileHistory.h"

#include <QListWidget>
#include <QPlainTextEdit>

#include <filesystem>
#include <random>
#include <system_error>

namespace quillet::bench {

namespace {

// About 100 KB of text in lines of 80 characters, each version a little different from the one
// before, as a note edited over time is.
std::string versionText(int version)
{
    std::mt19937 random(1234);
    std::string text;
    for (int line = 0; text.size() < 100 * 1024; ++line) {
        std::string words;
        while (words.size() < 80)
            words += static_cast<char>('a' + random() % 26);
        if (line % 50 == version % 50)
            words = "changed in version " + std::to_string(version);
        text += words + '\n';
    }
    return text;
}

void historyWindow(benchmark::State &state)
{
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / "quillet-bench-history";
    std::error_code error;
    std::filesystem::remove_all(folder, error);
    std::filesystem::create_directories(folder);
    const std::string path = (folder / "mydata.mdb").string();
    std::filesystem::copy_file(databaseFor(state), path);
    std::string key;
    {
        NoteStore store(path);
        store.scanOutline([&](const OutlineRow &row) {
            if (key.empty())
                key = row.key.toText().value_or("");
        });
        StoredRow row = *store.readRow(key);
        std::vector<NoteVersion> versions;
        for (int v = 1; v <= 200; ++v) {
            row[3] = Value::text(versionText(v));
            versions.push_back({v, row, false, 1'000'000 + v * 60});
        }
        test::FileHistory(path).add(versions);
    }
    NotesSession session;
    session.setPath(path);
    session.open();
    const QString current = QString::fromStdString(versionText(201));
    int listed = 0;
    for (auto _ : state) {
        HistoryWindow window(session, *session.versionsOf(key), QStringLiteral("note"), current);
        listed = window.findChild<QListWidget *>("versions")->count();
        deletePending();
    }
    if (listed != 200)
        state.SkipWithError("the window did not list the 200 versions");
    std::filesystem::remove_all(folder, error);
}

} // namespace

void registerHistoryBenchmarks()
{
    benchmark::RegisterBenchmark(kHistoryWindowName, historyWindow)
        ->Arg(g_databases->begin()->first)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
}

} // namespace quillet::bench
