#include "OutlineBenchmarks.h"

#include "BenchSupport.h"
#include "RecordingMessageBoxes.h"
#include "app/MDIForm1.h"
#include "app/Startup.h"
#include "notes/Form3.h"
#include "platform/Platform.h"
#include "store/Keys.h"
#include "store/NoteStore.h"
#include "support/NotesControls.h"

#include <QApplication>
#include <QLabel>
#include <QTreeView>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <memory>
#include <vector>

namespace quillet::bench {

namespace {

// Notices the first paint event of one widget.
class PaintWatcher : public QObject
{
public:
    bool painted = false;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            painted = true;
        return QObject::eventFilter(watched, event);
    }
};

// Node numbers (1-based) spread over the whole outline in a scrambled order, so that the
// notes read one after another are not neighbours in the file.
std::vector<int> scattered(int count)
{
    std::vector<int> indices;
    const int wanted = std::min(count, 4096);
    for (int i = 0; i < wanted; ++i)
        indices.push_back(static_cast<int>((static_cast<long long>(i) * 7919) % count) + 1);
    return indices;
}

// The reference the outline figures and the editing commands are divided by: the three outline
// columns read in ID order with the engine's own calls, and the same tree built with one model
// reset and the same nodes expanded, in a tree view like the outline's so that the view sees the
// reset, but without any of the checks on the stored values that LoadTree makes.
void baseline(benchmark::State &state)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(databaseFor(state).c_str(), &db, SQLITE_OPEN_READONLY, nullptr) !=
        SQLITE_OK) {
        state.SkipWithError("cannot open the database");
        sqlite3_close(db);
        return;
    }
    OutlineModel model;
    QTreeView view;
    view.setModel(&model);
    view.setHeaderHidden(true);
    view.setUniformRowHeights(true);
    std::vector<int> expanded;
    for (auto _ : state) {
        state.PauseTiming();
        model.clear();
        expanded.clear();
        state.ResumeTiming();

        sqlite3_stmt *scan = nullptr;
        sqlite3_prepare_v2(db, "SELECT Kleidi, MyText, anoixto FROM mynodes ORDER BY ID", -1, &scan,
                           nullptr);
        model.beginBulk();
        while (sqlite3_step(scan) == SQLITE_ROW) {
            const std::string_view key(reinterpret_cast<const char *>(sqlite3_column_text(scan, 0)),
                                       static_cast<std::size_t>(sqlite3_column_bytes(scan, 0)));
            const std::string parent = keys::parent(key);
            const QString title =
                QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(scan, 1)),
                                  sqlite3_column_bytes(scan, 1));
            const int number =
                model.add(QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size())), title,
                          QString::fromUtf8(parent.data(), static_cast<qsizetype>(parent.size())));
            if (sqlite3_column_int(scan, 2) != 0)
                expanded.push_back(number);
        }
        model.endBulk();
        for (int number : expanded)
            view.expand(model.indexOf(number));
        sqlite3_finalize(scan);
    }
    hasAllItems(state, model.count());
    sqlite3_close(db);
}

void scanOutline(benchmark::State &state)
{
    NoteStore store(databaseFor(state));
    int rows = 0;
    for (auto _ : state) {
        rows = 0;
        store.scanOutline([&](const OutlineRow &row) {
            benchmark::DoNotOptimize(row.id);
            ++rows;
        });
    }
    hasAllItems(state, rows);
}

void loadTree(benchmark::State &state)
{
    LoadedForm loaded(databaseFor(state));
    Form3 &form = loaded.form;
    const test::NotesControls ui(form);
    for (auto _ : state) {
        state.PauseTiming();
        form.ClearTree();
        state.ResumeTiming();
        form.LoadTree();
    }
    if (noBoxes(state, loaded.boxes))
        hasAllItems(state, ui.TreeView1->count());
    deletePending();
}

void clearTree(benchmark::State &state)
{
    LoadedForm loaded(databaseFor(state));
    Form3 &form = loaded.form;
    const test::NotesControls ui(form);
    int loadedCount = 0;
    for (auto _ : state) {
        state.PauseTiming();
        if (ui.TreeView1->count() == 0)
            form.LoadTree();
        loadedCount = ui.TreeView1->count();
        state.ResumeTiming();
        form.ClearTree();
    }
    if (noBoxes(state, loaded.boxes) && hasAllItems(state, loadedCount) &&
        ui.TreeView1->count() != 0)
        state.SkipWithError("ClearTree left nodes in the outline");
    deletePending();
}

// ShowNote alone: the node is selected with the clock stopped (which shows its note once), then
// ShowNote shows the selected note again, as the click handler and the stored-selection restore
// both do after setting the selection.
void showNote(benchmark::State &state)
{
    LoadedForm loaded(databaseFor(state));
    Form3 &form = loaded.form;
    const test::NotesControls ui(form);
    if (!showUntilPainted(&form, ui.Text1)) {
        state.SkipWithError("the notes window was never painted");
        return;
    }
    const std::vector<int> indices = scattered(ui.TreeView1->count());
    std::size_t next = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ui.TreeView1->setCurrentIndex(ui.TreeView1->modelIndexOf(indices[next++ % indices.size()]));
        state.ResumeTiming();
        form.ShowNote();
    }
    if (noBoxes(state, loaded.boxes) && ui.Text1->toPlainText().size() < 300)
        state.SkipWithError("the last note shown is shorter than any stored note");
    deletePending();
}

// A click on a node, as the tree reports it: selection, the four labels, the note, the path.
void nodeClick(benchmark::State &state)
{
    LoadedForm loaded(databaseFor(state));
    Form3 &form = loaded.form;
    const test::NotesControls ui(form);
    if (!showUntilPainted(&form, ui.Text1)) {
        state.SkipWithError("the notes window was never painted");
        return;
    }
    const std::vector<int> indices = scattered(ui.TreeView1->count());
    std::vector<QModelIndex> targets;
    for (int index : indices)
        targets.push_back(ui.TreeView1->modelIndexOf(index));
    std::size_t next = 0;
    for (auto _ : state)
        ui.TreeView1->setCurrentIndex(targets[next++ % targets.size()]);
    const int last = indices[(next - 1) % indices.size()];
    if (noBoxes(state, loaded.boxes) && test::selectionOf(form).Index != QString::number(last))
        state.SkipWithError("the click did not select the node");
    deletePending();
}

// The whole start-up: the main window built over the database and loaded, shown, and run
// until the outline has been painted. Tearing it down is not part of starting.
void startup(benchmark::State &state)
{
    RecordingMessageBoxes boxes;
    Platform platform{boxes};
    const QString path = QString::fromStdString(databaseFor(state));
    int count = 0;
    for (auto _ : state) {
        NotesSession session;
        std::unique_ptr<MDIForm1> window =
            openMainWindow(platform, session, path, QStringLiteral("quillet-db"));
        if (!window) {
            state.SkipWithError("the main window did not open");
            break;
        }
        if (!showUntilPainted(window.get(),
                              test::NotesControls(*window->form3()).TreeView1->viewport())) {
            state.SkipWithError("the outline was never painted");
            break;
        }
        state.PauseTiming();
        count = test::NotesControls(*window->form3()).TreeView1->count();
        window.reset();
        deletePending();
        state.ResumeTiming();
    }
    if (noBoxes(state, boxes))
        hasAllItems(state, count);
}

} // namespace

bool showUntilPainted(QWidget *window, QWidget *watched)
{
    PaintWatcher watcher;
    watched->installEventFilter(&watcher);
    window->show();
    // Each round handles what is queued without waiting for more, so a platform that never
    // paints ends the loop instead of hanging it.
    for (int round = 0; round < 10000 && !watcher.painted; ++round)
        QCoreApplication::processEvents();
    watched->removeEventFilter(&watcher);
    return watcher.painted;
}

void registerOutlineBenchmarks(const std::map<int, std::string> &databases)
{
    g_databases = &databases;
    // The baseline runs first, so that each figure after it is measured under the same load.
    registerAtEverySize(kBaselineName, baseline);
    registerAtEverySize("ScanOutline", scanOutline);
    registerAtEverySize("LoadTree", loadTree);
    registerAtEverySize("ClearTree", clearTree);
    registerAtEverySize("ShowNote", showNote);
    registerAtEverySize("NodeClick", nodeClick);
    registerAtEverySize("Startup", startup);
}

} // namespace quillet::bench
