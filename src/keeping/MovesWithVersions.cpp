#include "keeping/MovesWithVersions.h"

#include "keeping/History.h"
#include "store/NoteStore.h"

namespace quillet::moving {

moves::Plan move(NoteStore &store, NoteHistory &history, const std::string &key,
                 const moves::Place &place)
{
    const moves::Plan plan = moves::plan(store.connection(), key, place);
    apply(store, history, plan);
    return plan;
}

void apply(NoteStore &store, NoteHistory &history, const moves::Plan &plan)
{
    std::vector<NoteHistory::Renumbered> renumbered;
    for (const moves::RowChange &change : plan.changes)
        if (change.oldId != change.newId)
            renumbered.push_back({change.oldId, change.newId, change.newKey});
    // Versions that cannot follow stay under IDs no row takes again: lost to the notes, never
    // shown under another one.
    bool following = false;
    try {
        following = history.beginRenumbering(renumbered);
    } catch (const HistoryUnavailable &) {
    }
    try {
        Connection &db = store.connection();
        Transaction transaction(db);
        moves::apply(db, plan);
        transaction.commit();
    } catch (...) {
        if (following) {
            try {
                history.dropRenumbering();
            } catch (const HistoryUnavailable &) {
                // Dropped when the history is next opened: the notes do not hold the new IDs.
            }
        }
        throw;
    }
    if (following) {
        try {
            history.finishRenumbering();
        } catch (const HistoryUnavailable &) {
            // Finished when the history is next opened.
        }
    }
}

} // namespace quillet::moving
