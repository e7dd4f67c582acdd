#pragma once

#include <QString>

namespace quillet {

class NotesSession;
class UnsavedText;

// What the work behind the typing met (versions that cannot be kept, another database's history
// set aside, a dictionary that cannot be read), held to be said once, when the user leaves the
// editor, the way a failed save is: a box that appeared under the fingers would take their keys.
class HeldNotices
{
public:
    // Takes what the session met while storing. Called only once a save stored what it was for,
    // so that the notice that versions are not kept can say that the notes are stored: on a
    // file that stores nothing, only the failed save is said. Each notice goes once, whatever
    // more saves meet.
    void takeFrom(NotesSession &session);
    void spellingProblem(const QString &why) { m_spelling = why; }
    // Hands what is held to be said when the editor is left, and holds nothing after.
    void sayThrough(UnsavedText &unsaved);

private:
    QString m_historyProblem; // why versions are not kept
    QString m_historyNotice;  // another database's history set aside
    QString m_spelling;       // a dictionary or word list that cannot be read
};

} // namespace quillet
