#include "CommitBenchmarks.h"

#include "BenchSupport.h"
#include "keeping/History.h"
#include "store/NoteStore.h"
#include "support/FileHistory.h"

#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

namespace quillet::bench {

namespace {

// Saves one note again and again, each save one commit, in a private copy of the database:
// two texts of a kilobyte in turn, so that every save writes. setting, when given, is run on
// the store's connection first, in place of its own.
void commitWith(benchmark::State &state, const char *setting, bool keepVersion = false)
{
    const std::string path = databaseFor(state) + ".commit";
    std::error_code error;
    if (!std::filesystem::copy_file(databaseFor(state), path,
                                    std::filesystem::copy_options::overwrite_existing, error)) {
        state.SkipWithError("cannot copy the database");
        return;
    }
    {
        NoteStore store(path);
        if (setting)
            store.connection().exec(setting);
        std::string key;
        int row = 0;
        store.scanOutline([&](const OutlineRow &outline) {
            if (++row == itemsOf(state) / 2)
                key = outline.key.toText().value_or("");
        });
        const std::string texts[] = {std::string(1024, 'a'), std::string(1024, 'b')};
        int next = 0;
        test::FileHistory history(path);
        std::int64_t keptAt = 0;
        for (auto _ : state) {
            if (keepVersion)
                history.keep(*store.readRow(key), false, ++keptAt);
            store.saveText(key, texts[next]);
            next = 1 - next;
        }
        const std::optional<NoteRow> stored = store.readNote(key);
        if (!stored || stored->text.toText() != texts[1 - next])
            state.SkipWithError("the note was not stored");
    }
    std::filesystem::remove(path, error);
    std::filesystem::remove_all(std::filesystem::path(path).parent_path() / "history", error);
}

void commit(benchmark::State &state)
{
    commitWith(state, nullptr);
}

void commitKeepingVersion(benchmark::State &state)
{
    commitWith(state, nullptr, true);
}

void commitFullSync(benchmark::State &state)
{
    commitWith(state, "PRAGMA synchronous=FULL");
}

} // namespace

void registerCommitBenchmarks()
{
    registerAtEverySize(kCommitName, commit);
    registerAtEverySize(kCommitFullSyncName, commitFullSync);
    registerAtEverySize(kCommitKeepingVersionName, commitKeepingVersion);
}

} // namespace quillet::bench
