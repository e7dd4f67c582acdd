#include "store/Keys.h"
#include "store/Schema.h"
#include "store/Sqlite.h"
#include "tools/DbTool.h"
#include "tools/OutlineOrder.h"

namespace quillet::dbtool {

Stats statsOf(const std::string &path)
{
    Connection db = schema::open(path, Connection::Mode::ReadOnly);
    db.exec("BEGIN");
    Stats stats;
    const OutlineOrder order = outlineOrder(db);
    for (const OutlineItem &item : order.items) {
        if (item.depth > stats.depth) {
            stats.depth = item.depth;
            stats.itemsPerLevel.resize(static_cast<std::size_t>(item.depth));
        }
        ++stats.itemsPerLevel[static_cast<std::size_t>(item.depth - 1)];
    }
    stats.leftOut = static_cast<std::int64_t>(order.leftOut.size());

    // Sizes in bytes as stored; the engine reads each note's length without copying it out.
    Statement sizes(db, "SELECT ID, length(CAST(Keimeno AS BLOB)) FROM mynodes");
    while (sizes.step()) {
        ++stats.items;
        const std::int64_t bytes = sizes.columnInt64(1);
        stats.noteBytes += bytes;
        if (bytes > stats.largestNoteBytes) {
            stats.largestNoteBytes = bytes;
            stats.largestNoteId = sizes.columnInt64(0);
        }
    }
    if (stats.largestNoteBytes > 0) {
        Statement largest(db, "SELECT Kleidi, MyText FROM mynodes WHERE ID = ?");
        largest.bind(1, stats.largestNoteId);
        if (largest.step()) {
            stats.largestNoteKey = largest.column(0).toText().value_or("");
            stats.largestNoteTitle = largest.column(1).toText().value_or("");
        }
    }
    db.exec("COMMIT");
    return stats;
}

} // namespace quillet::dbtool
