#include "EditSession.h"

#include "OutlineBenchmarks.h"
#include "store/NoteStore.h"
#include "support/NotesControls.h"

#include <QCoreApplication>

#include <set>
#include <string>
#include <vector>

namespace quillet::bench {

namespace {

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

} // namespace

EditSession::EditSession(benchmark::State &state, bool makeRoom, bool show)
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

EditSession::~EditSession()
{
    loaded.reset();
    deletePending();
}

StoredFlags storedFlags(Connection &db)
{
    StoredFlags stored;
    scanOutlineRows(db, [&](const OutlineRow &row) {
        stored.ids.push_back(row.id);
        stored.flags.push_back(row.expanded.integer().value_or(0) != 0);
    });
    return stored;
}

bool clickNode(Form3 &form, int index)
{
    OutlineView &view = *test::NotesControls(form).TreeView1;
    view.setCurrentIndex(view.modelIndexOf(index));
    return test::selectionOf(form).Index == QString::number(index);
}

void settle()
{
    QCoreApplication::processEvents();
    deletePending();
}

} // namespace quillet::bench
