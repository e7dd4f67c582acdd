#pragma once

#include <QString>

namespace quillet {

class MessageBoxes;

// How the installed program's start found the user's notes.
enum class UserNotesStart {
    Found,     // the database is there (or a link by its name), to be opened as always
    MadeFirst, // the user's first start: the folder and a starter database were made
    MadeAgain, // the folder held no database, and the user asked for a new one
    Declined,  // the folder held no database, and the user wanted none made: nothing was
    Failed,    // they could not be made, which was said; the start ends with status 1
};

// The installed program's notes in the user's notes folder: with no folder, this is the user's
// first start, which makes the folder (0700) and a starter database in it (0600). A folder
// without its mydata.mdb means the notes were moved away: the user is told where they were
// looked for, and a new database is made only when asked for. Nothing else is ever made.
UserNotesStart prepareUserNotes(MessageBoxes &boxes, const QString &folder);

} // namespace quillet
