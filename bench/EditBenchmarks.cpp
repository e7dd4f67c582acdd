#include "EditBenchmarks.h"

#include "BenchSupport.h"
#include "OutlineBenchmarks.h"
#include "RecordingMessageBoxes.h"
#include "notes/Form3.h"
#include "notes/KeyNumbering.h"
#include "store/NoteStore.h"
#include "store/StoredRow.h"
#include "store/Tables.h"
#include "support/NotesControls.h"

#include <QToolButton>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdint>
#include <exception>
#include <optional>
#include <set>
#include <stdexcept>
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

// Runs a step between measurements through the store; false, with the benchmark failed, when
// the store refuses it.
template <class Step>
bool throughStore(benchmark::State &state, Step step)
{
    try {
        step();
        return true;
    } catch (const std::exception &error) {
        state.SkipWithError(error.what());
        return false;
    }
}

// The rows' IDs and expanded flags in ID order, as the outline takes them.
struct StoredFlags
{
    std::vector<std::int64_t> ids;
    std::vector<bool> flags;
};
StoredFlags storedFlags(Connection &db)
{
    StoredFlags stored;
    scanOutlineRows(db, [&](const OutlineRow &row) {
        stored.ids.push_back(row.id);
        stored.flags.push_back(row.expanded.integer().value_or(0) != 0);
    });
    return stored;
}

// Deletes the leaf stored last, so that a full outline has room for one more item. A parent's
// first child has the parent's key with "1" appended.
void deleteLastLeaf(const std::string &path)
{
    NoteStore store(path);
    std::vector<std::string> keys;
    store.scanOutline([&](const OutlineRow &row) { keys.push_back(*row.key.toText()); });
    const std::set<std::string> all(keys.begin(), keys.end());
    for (auto key = keys.rbegin(); key != keys.rend(); ++key)
        if (!all.contains(*key + '1')) {
            store.deleteSubtree(*key);
            return;
        }
}

// Selects node index (1-based) the way a click on it does: the window takes it as its
// selection and shows its note. True when the window's selection is that node afterwards.
bool clickNode(Form3 &form, int index)
{
    OutlineView &view = *test::NotesControls(form).TreeView1;
    view.setCurrentIndex(view.modelIndexOf(index));
    return test::selectionOf(form).Index == QString::number(index);
}

// Lets the window do what it has queued (layout, painting, deletions), as it does while the
// pointer travels to the next button, so that none of it lands in the next measurement.
void settle()
{
    QCoreApplication::processEvents();
    deletePending();
}

// The first node from the middle of the outline on, wrapping round, that wanted accepts; 0
// when there is none. The middle rather than the start: nothing there is cheaper to reach.
template <class Wanted>
int nodeFromMiddle(const OutlineView &view, Wanted wanted)
{
    const int count = view.count();
    for (int step = 0; step < count; ++step) {
        const int index = (count / 2 + step) % count + 1;
        if (wanted(index))
            return index;
    }
    return 0;
}

// True when the command asked its one question and nothing else, and clears the record for
// the next call; otherwise fails the benchmark with what was, or was not, asked.
bool askedOnlyTheQuestion(benchmark::State &state, RecordingMessageBoxes &boxes)
{
    const std::vector<QString> &asked = boxes.asked();
    const QString question = QStringLiteral("Attention: ");
    if (asked.size() == 1 && asked.front().startsWith(question)) {
        boxes.forget();
        return true;
    }
    if (asked.empty()) {
        state.SkipWithError("the command asked nothing, so it did nothing");
        return false;
    }
    for (const QString &box : asked) {
        if (!box.startsWith(question)) {
            state.SkipWithError(("a message box appeared: " + box.toStdString()).c_str());
            return false;
        }
    }
    state.SkipWithError("the command asked more than once");
    return false;
}

// The notes window over a private copy of the database of this size. A full outline takes no
// new item, so makeRoom deletes one leaf from the copy before the window opens it.
struct EditSession
{
    EditableCopy copy;
    std::optional<LoadedForm> loaded;

    EditSession(benchmark::State &state, bool makeRoom, bool show)
        : copy(databaseFor(state))
    {
        if (!copy.made()) {
            state.SkipWithError("cannot copy the database");
            return;
        }
        try {
            if (makeRoom)
                deleteLastLeaf(copy.path());
            loaded.emplace(copy.path());
        } catch (const std::exception &error) {
            state.SkipWithError(error.what());
            return;
        }
        // Shown and painted, as a person sees the window before clicking a button in it.
        if (show && !showUntilPainted(&loaded->form, test::NotesControls(loaded->form).Text1)) {
            state.SkipWithError("the notes window was never painted");
            loaded.reset();
        }
    }
    EditSession(const EditSession &) = delete;
    EditSession &operator=(const EditSession &) = delete;

    // The window is closed before its file is removed.
    ~EditSession()
    {
        loaded.reset();
        deletePending();
    }

    bool ready() const { return loaded.has_value(); }
};

// Command4, "Add an item", on a node three levels down in the middle of the outline whose
// parent has room for another child: the whole command as the button runs it, the question,
// the new row, the outline cleared and loaded again, the new node selected and its note shown.
// Between calls, with the clock stopped, the new row is deleted, the outline reloaded and the
// node clicked again, so that every call adds the same item to the same outline. A full
// outline takes no new item, so at that size one leaf is deleted first and each call fills
// the outline up again.
void addItem(benchmark::State &state)
{
    EditSession session(state, itemsOf(state) >= kMaxItems, true);
    if (!session.ready())
        return;
    Form3 &form = session.loaded->form;
    const test::NotesControls ui(form);
    OutlineView &view = *ui.TreeView1;
    const OutlineModel &nodes = view.nodes();
    const int before = view.count();

    const auto roomBeside = [&](int index, qsizetype depth) {
        const OutlineModel::Node &node = nodes.node(index - 1);
        return node.key.size() >= depth && node.parent >= 0 &&
               nodes.node(node.parent).children.size() < 9;
    };
    int target = nodeFromMiddle(view, [&](int index) { return roomBeside(index, 3); });
    if (target == 0)
        target = nodeFromMiddle(view, [&](int index) { return roomBeside(index, 2); });
    if (target == 0) {
        state.SkipWithError("no item has room for a new item beside it");
        return;
    }
    const QString parentKey = quillet::parentKey(view.key(target));

    // The new item is the one row after the row with the largest ID now; deleting it and
    // setting the ID counter back makes the next call insert the same row again.
    // A connection of the benchmark's own, beside the window's, to set the file back.
    NoteStore store(session.loaded->session.path());
    const std::vector<std::int64_t> ids = storedFlags(store.connection()).ids;
    if (ids.empty()) {
        state.SkipWithError("cannot read the largest ID");
        return;
    }
    const std::int64_t lastId = ids.back();
    const auto deleteAdded = [&](const QString &added) {
        if (store.deleteSubtree(added.toStdString()) != 1)
            throw std::runtime_error("the new row was not the only one deleted");
        Transaction transaction(store.connection());
        setLastRowId(store.connection(), lastId);
        transaction.commit();
    };

    if (!clickNode(form, target) || !noBoxes(state, session.loaded->boxes)) {
        if (!state.error_occurred())
            state.SkipWithError("the click did not select the node");
        return;
    }
    settle();
    for (auto _ : state) {
        ui.Command4->click();

        state.PauseTiming();
        if (!askedOnlyTheQuestion(state, session.loaded->boxes))
            break;
        const int after = view.count();
        const QString added = after > before ? view.key(after) : QString();
        if (after != before + 1 || test::selectionOf(form).Index != QString::number(after) ||
            added.size() != parentKey.size() + 1 || !added.startsWith(parentKey)) {
            state.SkipWithError("the command did not add and select an item beside the node");
            break;
        }
        if (!throughStore(state, [&] { deleteAdded(added); }))
            break;
        form.ClearTree();
        form.LoadTree();
        if (view.count() != before || !clickNode(form, target)) {
            state.SkipWithError("the outline was not as before after the new row was deleted");
            break;
        }
        settle();
        state.ResumeTiming();
    }
}

// Command5, "Delete the item", on a leaf in the middle of the outline: the whole command as
// the button runs it, the question, the row deleted, the outline cleared and loaded again, the
// first node selected and its note shown. Between calls, with the clock stopped, the row is put
// back as it was, with its ID, the outline reloaded and the leaf clicked again.
void deleteItem(benchmark::State &state)
{
    EditSession session(state, false, true);
    if (!session.ready())
        return;
    Form3 &form = session.loaded->form;
    const test::NotesControls ui(form);
    OutlineView &view = *ui.TreeView1;
    const int before = view.count();
    const int leaf = nodeFromMiddle(
        view, [&](int index) { return view.key(index).size() > 1 && view.children(index) == 0; });
    if (leaf == 0) {
        state.SkipWithError("the outline has no leaf below the top level");
        return;
    }
    const QString leafKey = view.key(leaf);

    // The leaf's row, every column, is kept to be put back with its ID; keys are stored
    // trimmed by the generator, so the key finds the row.
    // A connection of the benchmark's own, beside the window's, to set the file back.
    NoteStore store(session.loaded->session.path());
    const std::optional<StoredRow> kept = store.readRow(leafKey.toStdString());
    if (!kept) {
        state.SkipWithError("cannot read the leaf's row");
        return;
    }
    const auto putBack = [&] {
        Transaction transaction(store.connection());
        RowInserter(store.connection()).insert(*kept);
        transaction.commit();
    };

    if (!clickNode(form, leaf) || !noBoxes(state, session.loaded->boxes)) {
        if (!state.error_occurred())
            state.SkipWithError("the click did not select the leaf");
        return;
    }
    settle();
    for (auto _ : state) {
        ui.Command5->click();

        state.PauseTiming();
        if (!askedOnlyTheQuestion(state, session.loaded->boxes))
            break;
        if (view.count() != before - 1 || view.nodes().find(leafKey) >= 0 ||
            test::selectionOf(form).Index != QStringLiteral("1") ||
            test::selectionOf(form).Key != view.key(1)) {
            state.SkipWithError("the command did not delete the leaf and select the first item");
            break;
        }
        if (!throughStore(state, putBack))
            break;
        form.ClearTree();
        form.LoadTree();
        if (view.count() != before || view.key(leaf) != leafKey || !clickNode(form, leaf)) {
            state.SkipWithError("the outline was not as before after the row was put back");
            break;
        }
        settle();
        state.ResumeTiming();
    }
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

void registerEditBenchmarks()
{
    registerAtEverySize("AddItem", addItem);
    registerAtEverySize("DeleteItem", deleteItem);
    registerAtEverySize(kTransactionBaselineName, transactionBaseline);
    registerAtEverySize("SaveWorkspace", saveWorkspace);
}

} // namespace quillet::bench
