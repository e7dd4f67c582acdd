#pragma once

#include <QString>

#include <vector>

namespace quillet {

struct SkippedRow;

// What start-up and the checks after it say about the notes database at file. tool is
// quillet-db, which the messages name for finding every problem or trying again by hand.
namespace startupMessages {

// Rows that cannot be placed in the outline: the first 20 by ID, key and reason, and a count.
QString rowsLeftOut(const QString &file, const std::vector<SkippedRow> &rows, const QString &tool);
QString readOnly(const QString &file);
// The outline shows no item, so nothing can be added: items are added beside or below one.
QString emptyOutline(const QString &file, const QString &tool);
QString damaged(const QString &file, const QString &problem, const QString &tool);
QString backupFailed(const QString &file, const QString &problem, const QString &tool);

// The installed program's notes in the user's folder: where the first start made them, where
// they were looked for when they are gone, and why they could not be made.
QString firstStart(const QString &file, const QString &folder);
QString notesMovedAway(const QString &file, const QString &folder);
QString notesNotMade(const QString &file, const QString &problem);

} // namespace startupMessages
} // namespace quillet
