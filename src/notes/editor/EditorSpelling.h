#pragma once

#include "notes/editor/SpellChecker.h"
#include "platform/BackgroundWork.h"

#include <QObject>
#include <QString>
#include <QTextCursor>

#include <memory>
#include <vector>

class QMenu;
class QTimer;

namespace quillet {

class NoteEditor;

// Spelling as the note editor shows it: misspelt words underlined with a red wavy line a
// moment after typing stops, the part of the note on the screen only; on a right click on one,
// up to seven spellings, "Add to dictionary" and "Ignore"; and the editor menu's Spelling
// entries (on or off, the Latin-script language). The underlines are drawn by the editor
// over its text: the note's text, its undo history and whether it counts as changed are never
// touched. The dictionaries load when asked (after the window's first frame), on a thread of
// their own, and not at all while checking is off.
// The choice and the personal word list are kept in the user's configuration folder
// (quillet/spelling.ini and quillet/words.txt), shared by every database.
class EditorSpelling : public QObject
{
    Q_OBJECT

public:
    // configFolder: where the choice and the word list are kept; empty for the user's own.
    // dictionaryFolders: where dictionaries are looked for; empty for the system's.
    explicit EditorSpelling(NoteEditor &editor, QString configFolder = {},
                            QStringList dictionaryFolders = {});
    ~EditorSpelling() override;

    // Loads the dictionaries, in the background; nothing while checking is off.
    void load();
    bool isReady() const { return m_checker != nullptr; }
    bool isOn() const { return m_on && m_checker && m_checker->hasDictionary(); }
    // The words underlined now, as the document's positions.
    std::vector<WordSpan> underlined() const;
    // Checks the part of the note on the screen now, rather than after the pause.
    void checkNow();

    // The entries for the editor's menu at the cursor: spellings of a misspelt word first.
    void addToMenu(QMenu &menu, const QTextCursor &at);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

signals:
    // A dictionary or the word list could not be read: said once, when the user pauses.
    void problem(const QString &why);
    // The dictionaries are loaded and the first check is done.
    void ready();

private:
    void loaded(std::shared_ptr<SpellChecker> checker, const QString &why);
    void scheduleCheck();
    void setOn(bool on);
    void setLanguage(const QString &code);
    void storeChoice() const;
    void replaceWord(const WordSpan &word, const QString &with);
    std::optional<WordSpan> misspeltAt(int position) const;

    NoteEditor &m_editor;
    QString m_configFolder;
    QStringList m_dictionaryFolders;
    std::vector<Dictionary> m_installed;
    QString m_language; // the Latin-script dictionary's code
    bool m_on = true;
    bool m_loading = false;
    std::shared_ptr<SpellChecker> m_checker;
    QTimer *m_pause = nullptr;
    // Last, so that the loading stops before anything it uses goes.
    BackgroundWork m_work;
};

} // namespace quillet
