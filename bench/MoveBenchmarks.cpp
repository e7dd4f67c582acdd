#include "MoveBenchmarks.h"

#include "BenchSupport.h"
#include "OutlineBenchmarks.h"
#include "OutlineGenerator.h"
#include "keeping/History.h"
#include "keeping/MovesWithVersions.h"
#include "notes/Form3.h"
#include "store/NoteStore.h"
#include "store/Tables.h"
#include "support/FileHistory.h"
#include "support/NotesControls.h"

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <exception>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace quillet::bench {

namespace {

constexpr std::uint32_t kSeed = 20240611;
constexpr double kMoveTarget = 1.5;
// Every tenth note has a version in the history, and the moved item's note one too, so that
// each move takes versions along as it would in a file in use.
constexpr std::size_t kVersionEvery = 10;

std::string g_outline; // the moves' outline, generated once before registering

enum class Case { SubtreeUnder, LeafUp, TopLevelUp };

struct Move
{
    std::string key;
    moves::Place place;
};

// The move each case measures, found in the outline as generated; nothing when the outline
// has no such place.
std::optional<Move> moveFor(Case which, const std::vector<std::string> &keys)
{
    const std::set<std::string> all(keys.begin(), keys.end());
    const auto leaf = [&](const std::string &key) {
        return !all.contains(key + '1');
    };
    switch (which) {
    case Case::SubtreeUnder:
        // Under the last top-level item with room: its ID is above the subtree's, so every
        // row of the subtree takes a new ID.
        for (auto key = keys.rbegin(); key != keys.rend(); ++key)
            if (key->size() == 1 && *key != "B" && !all.contains(*key + '9'))
                return Move{"B", {moves::Place::Kind::Under, *key}};
        return std::nullopt;
    case Case::LeafUp:
        // From the middle on: the last of a parent's children, all of them leaves, before the
        // one before it, which takes a new ID.
        for (std::size_t step = 0; step < keys.size(); ++step) {
            const std::string &key = keys[(keys.size() / 2 + step) % keys.size()];
            const char last = key.back();
            if (key.size() < 2 || last < '2' || last > '9' ||
                all.contains(key.substr(0, key.size() - 1) + static_cast<char>(last + 1)))
                continue;
            bool leaves = true;
            for (char d = '1'; d <= last; ++d)
                leaves = leaves && leaf(key.substr(0, key.size() - 1) + d);
            if (leaves)
                return Move{key,
                            {moves::Place::Kind::Before,
                             key.substr(0, key.size() - 1) + static_cast<char>(last - 1)}};
        }
        return std::nullopt;
    case Case::TopLevelUp:
        // "C" before "B": the subtree and every top-level item after "C" take new IDs.
        return Move{"C", {moves::Place::Kind::Before, "B"}};
    }
    return std::nullopt;
}

// A version of every tenth note and of the moved item's, added to the copy's history at once.
void keepVersions(const std::string &path, const std::vector<std::string> &keys,
                  const std::string &moved)
{
    NoteStore store(path);
    std::vector<NoteVersion> versions;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (i % kVersionEvery != 0 && keys[i] != moved)
            continue;
        NoteVersion version;
        version.number = static_cast<std::int64_t>(versions.size() + 1);
        version.row = *store.readRow(keys[i]);
        version.keptAt = 1700000000;
        versions.push_back(std::move(version));
    }
    test::FileHistory(path).add(versions);
}

// The notes window with every item in its outline, shown and painted; false, with the benchmark
// failed, when not.
bool shownWhole(benchmark::State &state, Form3 &form)
{
    if (!hasAllItems(state, test::NotesControls(form).TreeView1->count()) ||
        !showUntilPainted(&form, test::NotesControls(form).Text1)) {
        if (!state.error_occurred())
            state.SkipWithError("the notes window was never painted");
        return false;
    }
    return true;
}

void measureMove(benchmark::State &state, Case which, const char *name)
{
    EditableCopy copy(g_outline, std::string(".") + name);
    if (!copy.made()) {
        state.SkipWithError("cannot copy the database");
        return;
    }
    std::vector<std::string> keys;
    std::optional<Move> move;
    std::int64_t lastId = 0;
    try {
        NoteStore store(copy.path());
        store.scanOutline([&](const OutlineRow &row) { keys.push_back(*row.key.toText()); });
        lastId = lastRowId(store.connection()).value_or(0);
        move = moveFor(which, keys);
        if (move)
            keepVersions(copy.path(), keys, move->key);
    } catch (const std::exception &error) {
        state.SkipWithError(error.what());
        return;
    }
    if (!move) {
        state.SkipWithError("the outline has no place for the move");
        return;
    }
    LoadedForm loaded(copy.path());
    Form3 &form = loaded.form;
    OutlineView &view = *test::NotesControls(form).TreeView1;
    if (!shownWhole(state, form))
        return;
    // A connection of the benchmark's own, beside the window's, to check the move and set the
    // file back.
    NoteStore store(copy.path());
    NoteHistory history(store);
    const std::size_t movedVersions = history.versionsOf(*store.idOf(move->key)).size();
    // The move as the window will make it, worked out beforehand to check what it did and to
    // put the rows back after it.
    moves::Plan plan;
    try {
        plan = moves::plan(store.connection(), move->key, move->place);
    } catch (const std::exception &error) {
        state.SkipWithError(error.what());
        return;
    }
    std::size_t renumbered = 0;
    for (const moves::RowChange &change : plan.changes)
        renumbered += change.oldId != change.newId ? 1 : 0;
    const QString key = QString::fromStdString(move->key);
    const QString newKey = QString::fromStdString(plan.newKey);
    view.setCurrentIndex(view.modelIndexOf(view.find(key)));
    for (auto _ : state) {
        // As a drop asks it: the note stored, the move stored with its versions following, the
        // outline showing the item in its new place, selected.
        emit view.moveRequested(key, move->place);

        state.PauseTiming();
        const int moved = view.find(newKey);
        if (moved <= 0 || view.count() != static_cast<int>(keys.size()) || renumbered == 0 ||
            test::selectionOf(form).Key != newKey ||
            history.versionsOf(*store.idOf(plan.newKey)).size() != movedVersions) {
            state.SkipWithError("the move did not take the item, its rows' new IDs and its "
                                "versions where it should");
            break;
        }
        // Back as generated, the ID counter too, so that every call makes the same move.
        try {
            moving::apply(store, history, moves::reverse(plan));
            Transaction transaction(store.connection());
            setLastRowId(store.connection(), lastId);
            transaction.commit();
        } catch (const std::exception &error) {
            state.SkipWithError(error.what());
            break;
        }
        form.ClearTree();
        form.LoadTree();
        view.setCurrentIndex(view.modelIndexOf(view.find(key)));
        QCoreApplication::processEvents();
        deletePending();
        state.ResumeTiming();
    }
    if (state.error_occurred() || !noBoxes(state, loaded.boxes))
        return;
    state.counters["new_ids"] = static_cast<double>(renumbered);
}

// One drag-move event over the outline, as the view gets it while the 5,000-item subtree is
// dragged over an item: the view's indicator, then the window's check of the place, which walks
// the dragged subtree in the outline.
void dragMoveEvent(benchmark::State &state)
{
    LoadedForm loaded(g_outline);
    Form3 &form = loaded.form;
    OutlineView &view = *test::NotesControls(form).TreeView1;
    if (!shownWhole(state, form))
        return;
    std::unique_ptr<QMimeData> data(view.nodes().mimeData({view.modelIndexOf(view.find("B"))}));
    const QRect row = view.visualRect(view.modelIndexOf(view.find("C")));
    const QPoint at = row.center();
    QDragEnterEvent enter(at, Qt::MoveAction, data.get(), Qt::LeftButton, {});
    QApplication::sendEvent(view.viewport(), &enter);
    bool accepted = false;
    for (auto _ : state) {
        QDragMoveEvent move(at, Qt::MoveAction, data.get(), Qt::LeftButton, {});
        QApplication::sendEvent(view.viewport(), &move);
        accepted = move.isAccepted();
    }
    if (!accepted)
        state.SkipWithError("the drag was not taken over an item it may go under");
}

void registerAtLargest(const char *name, void (*function)(benchmark::State &))
{
    benchmark::RegisterBenchmark(name, function)
        ->Arg(kMaxOutlineItems)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
}

} // namespace

void registerMoveBenchmarks(const std::string &folder)
{
    g_outline = folder + "/outline-moves-" + std::to_string(kMaxOutlineItems) + ".mdb";
    try {
        generateOutlineWithSubtree(g_outline, kMaxOutlineItems, kMoveSubtreeItems, kSeed);
    } catch (const std::exception &error) {
        std::fprintf(stderr, "quillet-bench: the moves' outline: %s\n", error.what());
        return;
    }
    if (!checkGenerated(g_outline, kMaxOutlineItems)) {
        std::fprintf(stderr, "quillet-bench: the moves' outline is not as the benchmarks expect\n");
        return;
    }
    registerAtLargest("MoveSubtreeUnder", [](benchmark::State &state) {
        measureMove(state, Case::SubtreeUnder, "MoveSubtreeUnder");
    });
    registerAtLargest("MoveLeafUp", [](benchmark::State &state) {
        measureMove(state, Case::LeafUp, "MoveLeafUp");
    });
    registerAtLargest("MoveTopLevelUp", [](benchmark::State &state) {
        measureMove(state, Case::TopLevelUp, "MoveTopLevelUp");
    });
    registerAtLargest(kDragMoveEventName, dragMoveEvent);
}

void printMoveTargets(const TimingOf &timing)
{
    const int largest = kMaxOutlineItems;
    std::printf("\nMoves at %d items (an outline with a subtree of %d items), as a drop asks "
                "them: the store's move,\nits versions following, and the outline showing the "
                "moved item in its place, selected, against AddItem, wall time:\n",
                largest, kMoveSubtreeItems);
    const std::optional<Timing> add = timing("AddItem", largest);
    const auto against = [&](const char *name, const char *what, bool judged) {
        const std::optional<Timing> figure = timing(name, largest);
        if (!figure || !add) {
            std::printf("  %s/%d (%s): not measured\n", name, largest, what);
            return;
        }
        const double ratio = figure->wallMs / add->wallMs;
        std::printf("  %s/%d (%s): %.1f ms = %.2fx AddItem (%.1f ms); cpu %.1f ms", name, largest,
                    what, figure->wallMs, ratio, add->wallMs, figure->cpuMs);
        if (judged)
            std::printf("; target %.1fx: %s\n", kMoveTarget,
                        ratio <= kMoveTarget ? "met" : "MISSED");
        else
            std::printf("; no target\n");
    };
    against("MoveSubtreeUnder", "the subtree under another item", true);
    against("MoveLeafUp", "a leaf one place up among leaf siblings", true);
    against("MoveTopLevelUp", "a top-level item up past the subtree", false);
    if (const std::optional<Timing> drag = timing(kDragMoveEventName, largest))
        std::printf("  %s/%d: %.2f ms; target under %.0f ms: %s\n", kDragMoveEventName, largest,
                    drag->wallMs, kDragMoveEventTargetMs,
                    drag->wallMs < kDragMoveEventTargetMs ? "met" : "MISSED");
    else
        std::printf("  %s/%d: not measured; target under %.0f ms\n", kDragMoveEventName, largest,
                    kDragMoveEventTargetMs);
}

} // namespace quillet::bench
