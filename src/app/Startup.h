#pragma once

#include "platform/Platform.h"

#include <QString>

#include <functional>
#include <memory>

class QWidget;

namespace quillet {

class MDIForm1;
class NotesSession;
class MessageBoxes;
class SingleInstance;
class TerminationSignals;

// The database file the program uses: mydata.mdb in the program's own folder, or the file it
// links to. Everything kept beside the database goes beside that file.
QString databasePathIn(const QString &programFolder);

// When a copy of the program that this start cannot reach (another user's) has the database
// open, says so and returns true: the start then ends with status 1. A copy of this user's is
// found earlier, by the single-instance lock, and brought to the front instead.
bool refuseDatabaseInUse(MessageBoxes &boxes, const QString &databasePath);

// Builds the main window over the database at databasePath and runs its load. When the
// database cannot serve, tells the user which file and what is wrong and how to make a new
// one with the tool at toolPath, and returns nullptr: the program then ends with status 1.
std::unique_ptr<MDIForm1> openMainWindow(Platform &platform, NotesSession &session,
                                         const QString &databasePath, const QString &toolPath);

// How the program ends at once (the door): status 0, no window's closing handlers. Everything
// stored is in the file already, committed; the single-instance lock is let go first, and the
// background damage check, which only reads, ends with the process.
std::function<void()> endAtOnce(SingleInstance &instance);

// Runs work once, after the window's first frame is drawn, or a second after this call at the
// latest (a window that is never exposed, as when it starts minimised): what start-up can leave
// until the window is up, so that the window shows as soon as it can.
void whenShown(QWidget &window, std::function<void()> work);

// Shows the window in front of the others, restored if it was minimised: what another start of
// the program asks for.
void bringToFront(QWidget &window);

// Ending the desktop session, or a termination signal, closes the window the way the user
// does: the text being typed, the outline's state and the settings are stored.
void closeOnSessionEndOrSignal(MDIForm1 &window, TerminationSignals &terminations);

} // namespace quillet
