#pragma once

#include "keeping/History.h"
#include "notes/editor/EditorFormat.h"

#include <QDialog>

#include <functional>
#include <string>

class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace quillet {

class NoteEditor;
class NotesSession;

// The earlier versions of one note: the list newest first (date, time, size, first line), the
// chosen version shown read-only in the note's own format, and its difference from the note as
// it is now (lines removed and added marked). Restore asks for the version to be put back;
// Copy puts its text on the clipboard. Every part is reached from the keyboard.
class HistoryWindow : public QDialog
{
    Q_OBJECT

public:
    // Shows the versions of the note with the key, modally; restore is called with the number
    // of the version the user chose to put back, and the window then closes.
    static void showFor(NotesSession &session, const std::string &storedKey, const QString &title,
                        const QString &current, QWidget *parent,
                        const std::function<void(std::int64_t number)> &restore);

    // The window over the versions listed, read from the session as they are chosen.
    HistoryWindow(NotesSession &session, std::vector<VersionSummary> summaries,
                  const QString &title, const QString &current, QWidget *parent = nullptr);

signals:
    // Restore was chosen for the version with this number.
    void restoreRequested(std::int64_t number);

private:
    void showVersion(int row);
    QString chosenText() const;

    NotesSession &m_session;
    QString m_current;
    std::vector<VersionSummary> m_summaries;
    std::optional<NoteVersion> m_shown;
    QListWidget *m_list = nullptr;
    NoteEditor *m_version = nullptr;
    QPlainTextEdit *m_difference = nullptr;
    QPushButton *m_restore = nullptr;
    QPushButton *m_copy = nullptr;
};

} // namespace quillet
