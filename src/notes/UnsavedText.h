#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <exception>
#include <string>

class QTimer;
class QWidget;

namespace quillet {

class MessageBoxes;

// A note that a close could not store: what was not stored and where its text went, and why
// (the cause alone, without advice that the user cannot follow as the program ends).
struct NoteKeptAside
{
    QString what;
    QString cause;
};

// Why an operation failed, as a message says it once: a store's failure by its cause and code,
// without advice; anything else by its own words.
QString causeOf(const std::exception &error);

// The keeper of typed text until it is stored. Typed text is stored after a pause in typing,
// so that it reaches the file within seconds even if the program never gets to store it
// otherwise. A typed note is never replaced unsaved: while a save has failed, the window keeps
// the text in the editor and its item selected, and retries before it acts. The failure is
// shown once, after the user action that met it; at closing, the text goes to a recovery file
// instead.
class UnsavedText : public QObject
{
    Q_OBJECT

public:
    UnsavedText(MessageBoxes &boxes, QWidget *owner);

    // The editor holds text that the last save could not store.
    bool has() const { return m_unsaved; }
    // That failure was met in the user action still under way, and is about to be shown.
    bool reportPending() const { return m_reportPending; }

    // How long typing pauses before the text is stored.
    static constexpr int kPauseBeforeSaveMs = 2000;
    // The user changed the text: pauseInTyping() follows once typing pauses.
    void typed();

    // A save succeeded: nothing typed waits to be stored.
    void stored();
    // A save of the note at fullPath failed: marks the text unsaved and throws the message
    // that says so, why, and that the text stays in the editor.
    [[noreturn]] void notStored(const QString &fullPath, const std::exception &why);
    // Shows a failed save's message once the user action under way is over: after the click
    // whose press moved the focus has been released and has acted.
    void reportLater(const QString &message);
    // The failure waiting to be shown is said by the command under way instead.
    void dropPendingReport() { m_reportPending = false; }
    // Shows a notice (a box titled "Quillet" with a warning) as a failure is shown, once the
    // user action under way is over, but holds neither the text nor the selection back.
    void sayLater(const QString &notice);

    // Closing has begun: the close stores the text itself, and a note that cannot be stored
    // now is written to a recovery file.
    void setClosing(bool closing);
    bool closing() const { return m_closing; }
    // At closing, after a failed save: writes the text of the note with the given key to a
    // recovery file beside the database, and returns what failed, where the text went and why,
    // for the close to say with whatever else failed. A text already written to a recovery file
    // that is still there is not written again: that file is named.
    NoteKeptAside keepAtClosing(const std::string &databasePath, const QString &key,
                                const QString &text);

    // Writes text to "<database name>.recovered-<key>-<date-time>.txt" beside the database, or
    // in the home or temporary folder when that folder is not writable. Returns the file's
    // path; empty when no file could be written.
    static QString writeRecoveryFile(const std::string &databasePath, const QString &key,
                                     const QString &text);

signals:
    // Typing paused with text not yet stored: time to store it.
    void pauseInTyping();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void reportWhenClickEnds();

    MessageBoxes &m_boxes;
    QWidget *m_owner = nullptr;
    bool m_unsaved = false;
    bool m_reportPending = false;
    bool m_closing = false;
    QString m_failedPath;  // the note the last failed save was for
    QString m_failure;     // why it failed, its cause only
    QString m_report;      // the failure's message, while it waits to be shown
    QStringList m_notices; // notices waiting to be shown
    // The last text written to a recovery file: its note's key, and the file.
    QString m_recoveredKey;
    QString m_recoveredText;
    QString m_recoveryFile;
    QTimer *m_pause = nullptr;
};

} // namespace quillet
