#pragma once

#include "notes/editor/WordSpan.h"

#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace quillet {

// A dictionary installed on the machine: its code ("en_US") and its two files.
struct Dictionary
{
    QString code;
    QString affix;
    QString words;
};

// The dictionaries in the folders the system keeps them in (/usr/share/hunspell first).
std::vector<Dictionary> installedDictionaries(const QStringList &folders = {});

// The code of the Latin-script dictionary for a locale's name ("en_GB", "el_GR", "C"): the
// locale's own when installed, else another of its language, else English (en_US first), else
// any Latin-script one; empty when none is installed. Greek is never the Latin-script one.
QString latinDictionaryFor(const QString &localeName, const std::vector<Dictionary> &installed);

// A dictionary's name for its menu entry, in its own language ("American English", "Ελληνικά"),
// with its territory in brackets where another installed dictionary's name is the same
// ("Français (Belgique)"); the code itself for a language the system does not know.
QString dictionaryName(const QString &code, const std::vector<Dictionary> &installed);

// The words of a text that spelling looks at: runs of letters (with an apostrophe inside),
// leaving out words with digits in or beside them, words in capitals (Greek capitals drop
// their accents, so they would all read as wrong), and whole tokens that are web addresses,
// e-mail addresses or file paths.
std::vector<WordSpan> wordsToCheck(const QString &text);

// Whether a word is Greek (any Greek letter in it): it is checked with the Greek dictionary,
// every other word with the Latin-script one.
bool isGreek(const QString &word);

// Words checked against a Latin-script dictionary and a Greek one, each word converted to its
// dictionary's own encoding; a personal list of words counts as right with both, and words
// ignored for this run too. Loading reads the dictionary files and is slow: it is done once,
// away from the user-interface thread, before the checker is handed over to it.
class SpellChecker
{
public:
    SpellChecker();
    ~SpellChecker();
    SpellChecker(const SpellChecker &) = delete;
    SpellChecker &operator=(const SpellChecker &) = delete;

    // Loads the dictionaries (either may be empty: none); returns why one could not be loaded,
    // empty when both loaded.
    QString load(const Dictionary *latin, const Dictionary *greek);
    bool hasDictionary() const;
    QString latinCode() const;

    // Whether the word is spelt right (a word no loaded dictionary covers counts as right).
    bool isRight(const QString &word) const;
    // Up to seven spellings for a word, its own dictionary's best first.
    QStringList suggestions(const QString &word) const;
    // The word counts as right from now on, with every dictionary.
    void addWord(const QString &word);
    void ignoreWord(const QString &word) { m_ignored.insert(word); }

private:
    struct Loaded;
    std::unique_ptr<Loaded> m_latin;
    std::unique_ptr<Loaded> m_greek;
    QSet<QString> m_ignored;
    QSet<QString> m_personal;
    const Loaded *dictionaryFor(const QString &word) const;
};

} // namespace quillet
