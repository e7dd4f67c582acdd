#include "WorkspaceBenchmarks.h"

#include "BenchSupport.h"
#include "EditSession.h"
#include "notes/Form3.h"
#include "store/NoteStore.h"
#include "store/Settings.h"
#include "store/Sqlite.h"
#include "support/NotesControls.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <vector>

namespace quillet::bench {

namespace {

// A connection of the engine's own, without any of the store's checks; closed when it goes.
class RawConnection
{
public:
    explicit RawConnection(const std::string &path)
    {
        if (sqlite3_open_v2(path.c_str(), &m_db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
            sqlite3_close(m_db);
            m_db = nullptr;
        }
    }
    ~RawConnection() { sqlite3_close(m_db); }
    RawConnection(const RawConnection &) = delete;
    RawConnection &operator=(const RawConnection &) = delete;

    sqlite3 *handle() const { return m_db; }

private:
    sqlite3 *m_db = nullptr;
};

// Runs SQL that returns no rows. False, with the benchmark failed, when the engine refuses.
bool execute(benchmark::State &state, sqlite3 *db, const std::string &sql)
{
    char *message = nullptr;
    if (db && sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK)
        return true;
    state.SkipWithError(
        ("the engine refused \"" + sql + "\": " + (message ? message : "no database")).c_str());
    sqlite3_free(message);
    return false;
}

// The reference saving the workspace is divided by: the expanded flag of every row written
// with the engine's own calls, one UPDATE by ID prepared once and bound per row, in one
// transaction, with the same syncs as the store. Every call changes every flag.
void transactionBaseline(benchmark::State &state)
{
    EditableCopy copy(databaseFor(state));
    if (!copy.made()) {
        state.SkipWithError("cannot copy the database");
        return;
    }
    RawConnection connection(copy.path());
    sqlite3 *db = connection.handle();
    if (!execute(state, db, "PRAGMA synchronous=EXTRA"))
        return;
    // Read through the store, outside the measurement; only the writing is the engine's own.
    Connection reader(copy.path(), Connection::Mode::ReadOnly);
    const StoredFlags before = storedFlags(reader);
    const std::vector<std::int64_t> &ids = before.ids;
    const std::vector<bool> &generated = before.flags;
    sqlite3_stmt *update = nullptr;
    if (sqlite3_prepare_v2(db, "UPDATE mynodes SET anoixto=? WHERE ID=?", -1, &update, nullptr) !=
        SQLITE_OK) {
        state.SkipWithError("cannot prepare the update");
        return;
    }
    bool inverted = false;
    for (auto _ : state) {
        inverted = !inverted;
        bool written = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
        for (std::size_t i = 0; written && i < ids.size(); ++i) {
            sqlite3_reset(update);
            sqlite3_bind_int(update, 1, generated[i] != inverted ? 1 : 0);
            sqlite3_bind_int64(update, 2, ids[i]);
            written = sqlite3_step(update) == SQLITE_DONE;
        }
        if (!written || sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
            state.SkipWithError(sqlite3_errmsg(db));
            break;
        }
    }
    sqlite3_finalize(update);
    if (state.error_occurred())
        return;

    // The last call inverted every generated flag, or put every one back.
    const std::vector<bool> stored = storedFlags(reader).flags;
    std::vector<bool> expected = generated;
    if (inverted)
        expected.flip();
    if (!hasAllItems(state, static_cast<int>(stored.size())))
        return;
    if (stored != expected)
        state.SkipWithError("the transaction did not store every flag");
}

// SaveWorkspace with every node's expanded state the opposite of its stored flag, leaves
// included, so that every row's flag changes, then the 30 settings. Before each call, with the
// clock stopped, the stored flags are inverted, the outline is loaded from them, and the flags
// are inverted back, which leaves the outline showing the opposite of what is stored.
void saveWorkspace(benchmark::State &state)
{
    EditSession session(state, false, false);
    if (!session.ready())
        return;
    Form3 &form = session.loaded->form;
    const test::NotesControls ui(form);
    OutlineView &view = *ui.TreeView1;
    // A connection of the benchmark's own, beside the window's, to set the file back.
    NoteStore store(session.loaded->session.path());
    const std::vector<bool> generated = storedFlags(store.connection()).flags;
    // Stores the generated flags, each inverted when flipped.
    const auto storeFlags = [&](bool flipped) {
        std::vector<bool> flags = generated;
        if (flipped)
            flags.flip();
        store.storeExpanded(flags);
    };
    // Without a selection the window saves nothing.
    const int selected = view.count() / 2;
    if (!clickNode(form, selected) || !noBoxes(state, session.loaded->boxes)) {
        if (!state.error_occurred())
            state.SkipWithError("the click did not select the node");
        return;
    }
    const WindowGeometry geometry{600, 450, Form3::kDesignWidth, Form3::kDesignHeight};
    bool inverted = false;
    for (auto _ : state) {
        state.PauseTiming();
        if (!throughStore(state, [&] { storeFlags(!inverted); }))
            break;
        form.ClearTree();
        form.LoadTree();
        if (!throughStore(state, [&] { storeFlags(inverted); }))
            break;
        inverted = !inverted;
        state.ResumeTiming();

        form.SaveWorkspace(geometry);
    }
    if (state.error_occurred() || !noBoxes(state, session.loaded->boxes))
        return;

    // What the last call stored is what the outline showed: every generated flag inverted, or
    // every one put back. The selection is stored as the fifth setting.
    const std::vector<bool> stored = storedFlags(store.connection()).flags;
    if (!hasAllItems(state, static_cast<int>(stored.size())) || !hasAllItems(state, view.count()))
        return;
    for (int index = 1; index <= view.count(); ++index) {
        const bool expected = generated[index - 1] != inverted;
        if (view.isExpanded(index) != expected || stored[index - 1] != expected) {
            state.SkipWithError(("the flag of item " + std::to_string(index) +
                                 " was not stored as the outline showed it")
                                    .c_str());
            return;
        }
    }
    Settings settings;
    if (throughStore(state, [&] { store.loadSettings(settings); }) && settings.at(5) != selected)
        state.SkipWithError("the selection was not stored");
}

} // namespace

void registerWorkspaceBenchmarks()
{
    registerAtEverySize(kTransactionBaselineName, transactionBaseline);
    registerAtEverySize("SaveWorkspace", saveWorkspace);
}

} // namespace quillet::bench
