#include "tools/check/DbStats.h"

#include "session/NotesSession.h"
#include "store/Keys.h"
#include "store/Sqlite.h"
#include "store/Tables.h"
#include "tools/shared/OutlineOrder.h"

namespace quillet::dbtool {

Stats statsOf(const std::string &path)
{
    NotesSession session;
    session.setPath(path);
    session.open(NotesSession::Access::Reading);
    Stats stats;
    session.readTables([&](Connection &db) {
        const OutlineOrder order = outlineOrder(db);
        for (const OutlineItem &item : order.items) {
            if (item.depth > stats.depth) {
                stats.depth = item.depth;
                stats.itemsPerLevel.resize(static_cast<std::size_t>(item.depth));
            }
            ++stats.itemsPerLevel[static_cast<std::size_t>(item.depth - 1)];
        }
        stats.leftOut = static_cast<std::int64_t>(order.leftOut.size());

        // Sizes in bytes as stored.
        forEachNoteSize(db, [&](std::int64_t id, std::int64_t bytes) {
            ++stats.items;
            stats.noteBytes += bytes;
            if (bytes > stats.largestNoteBytes) {
                stats.largestNoteBytes = bytes;
                stats.largestNoteId = id;
            }
        });
        StoredRow largest;
        if (stats.largestNoteBytes > 0 && RowReader(db).read(stats.largestNoteId, largest)) {
            stats.largestNoteKey = largest[1].toText().value_or("");
            stats.largestNoteTitle = largest[2].toText().value_or("");
        }
    });
    return stats;
}

} // namespace quillet::dbtool
