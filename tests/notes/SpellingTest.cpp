#include "notes/editor/EditorSpelling.h"
#include "notes/editor/NoteEditor.h"
#include "notes/editor/SpellChecker.h"
#include "support/TestDatabase.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace quillet::test {
namespace {

// The editor with spelling over Debian's dictionaries, English for Latin script, its choice and
// word list in a folder of the test's own.
class SpellingTest : public testing::Test
{
protected:
    void SetUp() override
    {
        QFile choice(config + "/spelling.ini");
        ASSERT_TRUE(choice.open(QIODevice::WriteOnly));
        choice.write("[General]\ncheck=true\nlanguage=en_US\n");
    }

    // A new speller over the editor, loaded.
    std::unique_ptr<EditorSpelling> loaded()
    {
        auto spelling = std::make_unique<EditorSpelling>(
            editor, config, QStringList{QStringLiteral("/usr/share/hunspell")});
        QSignalSpy ready(spelling.get(), &EditorSpelling::ready);
        spelling->load();
        EXPECT_TRUE(ready.wait(20000));
        return spelling;
    }

    QStringList underlinedIn(EditorSpelling &spelling, const QString &text)
    {
        editor.showText(text);
        spelling.checkNow();
        QStringList words;
        for (const WordSpan &word : spelling.underlined())
            words << text.mid(word.start, word.length);
        return words;
    }

    TempFolder folder;
    QString config = folder.folder();
    NoteEditor editor;
};

// Each word is checked with its script's dictionary; words in capitals, with digits, and
// addresses and paths are left alone.
TEST_F(SpellingTest, EachWordIsCheckedByItsScriptAndTheRestIsLeftAlone)
{
    const auto spelling = loaded();
    ASSERT_TRUE(spelling->isOn());
    const std::pair<QString, QStringList> cases[] = {
        {"This sentense is rihgt", {"sentense", "rihgt"}},
        {"Καλημέρα κόσμε", {}},
        {"Καλημρα κόσμε", {"Καλημρα"}},
        {"The σπίτι is a hause", {"hause"}},
        {"ΚΑΛΗΜΕΡΑ and HELLLO", {}},
        {"abc123 x2y version2 teh", {"teh"}},
        {"see https://exmaple.com/foo, mail me@exmaple.org or /usr/share/dictt", {}},
        {"don't worry", {}},
    };
    for (const auto &[text, expected] : cases) {
        SCOPED_TRACE(text.toStdString());
        EXPECT_EQ(underlinedIn(*spelling, text), expected);
    }
}

// Each dictionary is named in its own language, with its territory only where two would read
// the same; the menu shows the names, never the codes.
TEST_F(SpellingTest, DictionariesAreNamedInTheirOwnLanguage)
{
    std::vector<Dictionary> installed;
    for (const char *code : {"en_US", "en_GB", "fr_FR", "fr_BE", "de_AT", "el_GR", "xq"})
        installed.push_back(Dictionary{code, {}, {}});
    const std::pair<QString, QString> cases[] = {
        {"en_US", "American English"},
        {"en_GB", "British English"},
        {"fr_FR", "Français (France)"},
        {"fr_BE", "Français (Belgique)"},
        {"de_AT", "Österreichisches Deutsch"},
        {"el_GR", "Ελληνικά"},
        {"xq", "xq"},
    };
    for (const auto &[code, name] : cases)
        EXPECT_EQ(dictionaryName(code, installed), name) << code.toStdString();
    EXPECT_EQ(dictionaryName("fr_FR", {{"fr_FR", {}, {}}}), "Français");

    const auto spelling = loaded();
    QMenu menu;
    spelling->addToMenu(menu, QTextCursor(editor.document()));
    QStringList entries;
    for (QAction *action : menu.actions().back()->menu()->actions())
        entries << action->text();
    EXPECT_TRUE(entries.contains("American English")) << entries.join(", ").toStdString();
    EXPECT_FALSE(entries.contains("en_US"));
}

// A spelling chosen replaces the word as one edit that one undo takes back.
TEST_F(SpellingTest, ASpellingChosenReplacesTheWordAsOneUndoableEdit)
{
    const auto spelling = loaded();
    EXPECT_EQ(underlinedIn(*spelling, "A sentense here"), QStringList{"sentense"});
    QTextCursor at(editor.document());
    at.setPosition(4);
    QMenu menu;
    spelling->addToMenu(menu, at);
    QAction *sentence = nullptr;
    for (QAction *action : menu.actions())
        if (action->text() == "sentence")
            sentence = action;
    ASSERT_NE(sentence, nullptr);
    int offered = 0;
    for (QAction *action : menu.actions()) {
        if (action->text() == "&Add to dictionary")
            break;
        ++offered;
    }
    EXPECT_LE(offered, 7);
    sentence->trigger();
    EXPECT_EQ(editor.noteText(), "A sentence here");
    editor.undo();
    EXPECT_EQ(editor.noteText(), "A sentense here");
}

// The names of a right click's menu entries before the first separator: what it offers for
// the word at the position.
QStringList offeredAt(EditorSpelling &spelling, NoteEditor &editor, int position)
{
    QTextCursor at(editor.document());
    at.setPosition(position);
    QMenu menu;
    menu.addAction(QStringLiteral("Copy")); // the editor's own entries follow the spelling's
    spelling.addToMenu(menu, at);
    QStringList offered;
    for (QAction *action : menu.actions()) {
        if (action->isSeparator() || action->text() == "Copy")
            break;
        offered << action->text();
    }
    return offered;
}

// A right click anywhere on a misspelt word offers its spellings, "Add to dictionary" and
// "Ignore": on its first letter, inside it, and just after its last letter, where people click;
// beside it, nothing.
TEST_F(SpellingTest, AMisspeltWordIsOfferedFromItsFirstLetterToJustAfterItsLast)
{
    const auto spelling = loaded();
    ASSERT_EQ(underlinedIn(*spelling, "A sentense here"), QStringList{"sentense"});
    const std::pair<int, bool> cases[] = {
        {1, false}, {2, true}, {6, true}, {10, true}, {11, false}};
    for (const auto &[position, offered] : cases) {
        SCOPED_TRACE(position);
        const QStringList entries = offeredAt(*spelling, editor, position);
        EXPECT_EQ(entries.contains("sentence"), offered) << entries.join(", ").toStdString();
        EXPECT_EQ(entries.contains("&Add to dictionary"), offered);
        EXPECT_EQ(entries.contains("&Ignore"), offered);
    }
}

// The personal word list is the user's alone, whatever the umask: its folder 0700, the list
// 0600, when a word added makes them.
TEST_F(SpellingTest, ThePersonalListAndItsFolderAreTheUsersAlone)
{
    const auto modeOf = [](const QString &path) {
        struct stat info
        {
        };
        EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0) << path.toStdString();
        return info.st_mode & 07777;
    };
    for (const mode_t umask : {mode_t(0), mode_t(022), mode_t(077)}) {
        SCOPED_TRACE(umask);
        // Not there yet: the language is the locale's, else English.
        const QString own = config + QStringLiteral("/own-%1").arg(umask);
        auto spelling = std::make_unique<EditorSpelling>(
            editor, own, QStringList{QStringLiteral("/usr/share/hunspell")});
        QSignalSpy ready(spelling.get(), &EditorSpelling::ready);
        spelling->load();
        ASSERT_TRUE(ready.wait(20000));
        ASSERT_EQ(underlinedIn(*spelling, "Quilletish words"), QStringList{"Quilletish"});
        const mode_t was = ::umask(umask);
        QTextCursor at(editor.document());
        at.setPosition(2);
        QMenu menu;
        spelling->addToMenu(menu, at);
        for (QAction *action : menu.actions())
            if (action->text() == "&Add to dictionary")
                action->trigger();
        ::umask(was);
        EXPECT_EQ(modeOf(own), 0700u);
        EXPECT_EQ(modeOf(own + "/words.txt"), 0600u);
    }
}

// Added words go to the personal list and count as right from then on, in a later run too; a
// list with a line that is not UTF-8 is said, and the rest of it still counts.
TEST_F(SpellingTest, ThePersonalListIsKeptAndABrokenOneIsSaid)
{
    {
        const auto spelling = loaded();
        ASSERT_EQ(underlinedIn(*spelling, "Quilletish words"), QStringList{"Quilletish"});
        QTextCursor at(editor.document());
        at.setPosition(2);
        QMenu menu;
        spelling->addToMenu(menu, at);
        for (QAction *action : menu.actions())
            if (action->text() == "&Add to dictionary")
                action->trigger();
        EXPECT_TRUE(spelling->underlined().empty());
    }
    {
        const auto spelling = loaded();
        EXPECT_TRUE(underlinedIn(*spelling, "Quilletish words").isEmpty());
    }
    QFile list(config + "/words.txt");
    ASSERT_TRUE(list.open(QIODevice::Append));
    list.write("bad\xff\n");
    list.close();
    auto spelling = std::make_unique<EditorSpelling>(
        editor, config, QStringList{QStringLiteral("/usr/share/hunspell")});
    QSignalSpy said(spelling.get(), &EditorSpelling::problem);
    QSignalSpy ready(spelling.get(), &EditorSpelling::ready);
    spelling->load();
    ASSERT_TRUE(ready.wait(20000));
    ASSERT_EQ(said.size(), 1);
    EXPECT_TRUE(said[0][0].toString().contains("not UTF-8")) << said[0][0].toString().toStdString();
    EXPECT_TRUE(underlinedIn(*spelling, "Quilletish words").isEmpty());
}

// The wavy lines are drawn under the misspelt words only; they follow the text as it is typed
// before them, a word typed into loses its line, and a spelling chosen later replaces the
// word where it now is.
TEST_F(SpellingTest, UnderlinesAreDrawnUnderTheWordsAndFollowTheTyping)
{
    const auto spelling = loaded();
    editor.resize(400, 200);
    editor.show();
    ASSERT_EQ(underlinedIn(*spelling, "A sentense and a hause"),
              (QStringList{"sentense", "hause"}));
    // Red under the whole of each misspelt word's own stretch of the line, and nowhere else:
    // the share of its columns with red in the band below the word.
    QImage drawn = editor.viewport()->grab().toImage();
    const auto redIn = [&](int from, int to) {
        QTextCursor at(editor.document());
        at.setPosition(from);
        const QRect start = editor.cursorRect(at);
        at.setPosition(to);
        const QRect end = editor.cursorRect(at);
        int columns = 0;
        int red = 0;
        for (int x = start.left() + 1; x < end.left() - 1; ++x, ++columns) {
            bool found = false;
            for (int y = start.top(); y < start.bottom() + 4 && y < drawn.height(); ++y) {
                const QColor pixel = drawn.pixelColor(x, y);
                found = found || pixel.red() - pixel.green() > 40;
            }
            red += found ? 1 : 0;
        }
        return columns == 0 ? 0.0 : static_cast<double>(red) / columns;
    };
    EXPECT_GT(redIn(2, 10), 0.8);  // sentense
    EXPECT_EQ(redIn(11, 16), 0.0); // and a
    EXPECT_GT(redIn(17, 22), 0.8); // hause
    // Narrower twice, the text in two lines each time but broken elsewhere: each line follows
    // its word.
    const auto fitting = [&](const QString &first) {
        editor.resize(editor.fontMetrics().horizontalAdvance(first) + editor.width() -
                          editor.viewport()->width() + 12,
                      200);
    };
    QTextCursor onHause(editor.document());
    onHause.setPosition(17);
    for (const QString &first :
         {QStringLiteral("A sentense and "), QStringLiteral("A sentense ")}) {
        SCOPED_TRACE(first.toStdString());
        fitting(first);
        ASSERT_EQ(editor.document()->firstBlock().layout()->lineCount(), 2);
        drawn = editor.viewport()->grab().toImage();
        EXPECT_GT(redIn(2, 10), 0.8);
        EXPECT_GT(redIn(17, 22), 0.8);
    }
    editor.resize(400, 200);

    QTest::keyClicks(&editor, "Big ");
    const auto words = [&] {
        QStringList shown;
        for (const WordSpan &word : spelling->underlined())
            shown << editor.noteText().mid(word.start, word.length);
        return shown;
    };
    EXPECT_EQ(words(), (QStringList{"sentense", "hause"}));
    QTextCursor cursor = editor.textCursor();
    cursor.setPosition(14); // just after "sentense"
    editor.setTextCursor(cursor);
    QTest::keyClicks(&editor, "s");
    EXPECT_EQ(words(), QStringList{"hause"});

    QTextCursor on(editor.document());
    on.setPosition(static_cast<int>(editor.noteText().indexOf("hause")) + 1);
    QMenu menu;
    // The menu checks the screen again first; the typed word is then underlined anew.
    spelling->addToMenu(menu, on);
    for (QAction *action : menu.actions())
        if (action->text() == "house")
            action->trigger();
    EXPECT_EQ(editor.noteText(), "Big A sentenses and a house");
}

// Checking a shown note changes nothing of it: no edit is raised, nothing can be undone, and
// the note counts as unchanged, whatever it holds.
TEST_F(SpellingTest, CheckingAShownNoteChangesNothing)
{
    const auto spelling = loaded();
    QSignalSpy edited(&editor, &NoteEditor::edited);
    const QString note = QStringLiteral("Misspelt wurds\r\nand ελληνικα λαθη") + QChar(0xFFFD);
    editor.showText(note);
    spelling->checkNow();
    EXPECT_FALSE(spelling->underlined().empty());
    EXPECT_EQ(edited.size(), 0);
    EXPECT_FALSE(editor.isChanged());
    EXPECT_FALSE(editor.document()->isUndoAvailable());
    EXPECT_EQ(editor.noteText(), note);
}

} // namespace
} // namespace quillet::test
