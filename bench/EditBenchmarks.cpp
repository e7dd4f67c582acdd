#include "EditBenchmarks.h"

#include "BenchSupport.h"
#include "EditSession.h"
#include "OutlineBenchmarks.h"
#include "RecordingMessageBoxes.h"
#include "notes/Form3.h"
#include "notes/outline/KeyNumbering.h"
#include "store/NoteStore.h"
#include "store/Sqlite.h"
#include "store/StoredRow.h"
#include "store/Tables.h"
#include "support/NotesControls.h"

#include <QShortcut>
#include <QToolButton>

#include <benchmark/benchmark.h>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace quillet::bench {

namespace {

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

// A leaf below the top level, from the middle of the outline; 0 when there is none.
int middleLeaf(const OutlineView &view)
{
    return nodeFromMiddle(
        view, [&](int index) { return view.key(index).size() > 1 && view.children(index) == 0; });
}

// Command4, "Add an item", on a node three levels down in the middle of the outline whose
// parent has room for another child: the whole command as the button runs it, the question,
// the new row, the outline following it in place, the new node selected and its note shown.
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
// the button runs it, the question, the row deleted after its copy is kept, the outline
// following it in place, the first node selected and its note shown. Between calls, with the clock
// stopped, the row is put back as it was, with its ID, the outline reloaded and the leaf clicked
// again.
void deleteItem(benchmark::State &state)
{
    EditSession session(state, false, true);
    if (!session.ready())
        return;
    Form3 &form = session.loaded->form;
    const test::NotesControls ui(form);
    OutlineView &view = *ui.TreeView1;
    const int before = view.count();
    const int leaf = middleLeaf(view);
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

// Ctrl+Z in the outline after a leaf in the middle of the outline was deleted: the rows put back
// from the deletion's copy with their own IDs and keys, the outline following them, the item
// selected and its note shown. Between calls, with the clock stopped, the leaf is deleted again
// through Command5.
void undoDelete(benchmark::State &state)
{
    EditSession session(state, false, true);
    if (!session.ready())
        return;
    Form3 &form = session.loaded->form;
    const test::NotesControls ui(form);
    OutlineView &view = *ui.TreeView1;
    const int before = view.count();
    const int leaf = middleLeaf(view);
    if (leaf == 0) {
        state.SkipWithError("the outline has no leaf below the top level");
        return;
    }
    const QString leafKey = view.key(leaf);
    // The outline's own Ctrl+Z, as the key reaches it.
    QShortcut *undo = nullptr;
    for (QShortcut *shortcut : view.findChildren<QShortcut *>())
        if (shortcut->key() == QKeySequence(QKeySequence::Undo))
            undo = shortcut;
    if (!undo) {
        state.SkipWithError("the outline has no undo key");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        if (!clickNode(form, view.find(leafKey))) {
            state.SkipWithError("the leaf could not be selected");
            break;
        }
        ui.Command5->click();
        if (!askedOnlyTheQuestion(state, session.loaded->boxes))
            break;
        if (view.count() != before - 1) {
            state.SkipWithError("the leaf was not deleted");
            break;
        }
        settle();
        state.ResumeTiming();

        emit undo->activated();

        state.PauseTiming();
        if (view.count() != before || test::selectionOf(form).Key != leafKey ||
            !noBoxes(state, session.loaded->boxes)) {
            if (!state.error_occurred())
                state.SkipWithError("the undo did not put the leaf back and select it");
            break;
        }
        state.ResumeTiming();
    }
}

} // namespace

void registerEditBenchmarks()
{
    registerAtEverySize("AddItem", addItem);
    registerAtEverySize("DeleteItem", deleteItem);
    registerAtEverySize("UndoDelete", undoDelete);
}

} // namespace quillet::bench
