#include "notes/editor/DisplayLines.h"
#include "notes/editor/NoteEditor.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace quillet::test {
namespace {

// A line of words, far longer than a piece.
QString wordsLine(int length)
{
    QString line;
    for (int i = 0; line.size() < length; ++i)
        line += QStringLiteral("w%1 \u03b1\u03b2 ").arg(i);
    return line.left(length);
}

// The text as the toolkit's editor gives it back when shown whole, without pieces.
QString asShownWhole(const QString &text)
{
    QPlainTextEdit whole;
    whole.setPlainText(text);
    return whole.toPlainText();
}

// The text as a note reads back from the editor: every character as it was (no-break spaces and
// line separators too), the breaks between its lines all as its first one.
QString asReadBack(QString text)
{
    QString lineBreak = QStringLiteral("\n");
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\n' || text[i] == QChar::ParagraphSeparator) {
            lineBreak = QString(text[i]);
            break;
        }
        if (text[i] == u'\r') {
            lineBreak = text.mid(i, 2) == QStringLiteral("\r\n") ? QStringLiteral("\r\n")
                                                                 : QStringLiteral("\r");
            break;
        }
    }
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    text.replace(QChar::ParagraphSeparator, u'\n');
    return text.replace(QStringLiteral("\n"), lineBreak);
}

// Texts thousands of characters long, compared whole and said briefly.
testing::AssertionResult same(const QString &read, const QString &expected)
{
    if (read == expected)
        return testing::AssertionSuccess();
    const auto differ = std::mismatch(read.begin(), read.end(), expected.begin(), expected.end());
    const qsizetype at = differ.first - read.begin();
    return testing::AssertionFailure()
           << "read " << read.size() << " characters, expected " << expected.size()
           << "; from character " << at << " read \"" << read.mid(at, 20).toStdString()
           << "\", expected \"" << expected.mid(at, 20).toStdString() << "\"";
}

int longestParagraph(const QTextDocument &document)
{
    int longest = 0;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        longest = std::max(longest, block.length() - 1);
    return longest;
}

TEST(notesLongLines, ALongLineIsShownInPiecesAndReadBackExactly)
{
    const QString noSpaces(2500, u'x');
    QString surrogates;
    for (int i = 0; i < 1500; ++i)
        surrogates += QStringLiteral("\U0001F4DD");
    const std::vector<std::pair<const char *, QString>> cases{
        {"words", wordsLine(3500)},
        {"no spaces", noSpaces},
        {"characters of two halves", surrogates},
        {"among short lines", "short\n" + wordsLine(2200) + "\n\nend\r\n" + noSpaces + "\n"},
        {"no-break spaces and separators", wordsLine(1500) + QChar::Nbsp + "a" +
                                               QChar::LineSeparator + wordsLine(1500) +
                                               QChar::ParagraphSeparator + "z"},
    };
    for (const auto &[name, text] : cases) {
        SCOPED_TRACE(name);
        NoteEditor editor;
        QSignalSpy edited(&editor, &NoteEditor::edited);
        editor.showText(text);
        EXPECT_TRUE(same(editor.noteText(), asReadBack(text)));
        EXPECT_LE(longestParagraph(*editor.document()), displaylines::kPieceLength);
        EXPECT_GT(editor.document()->blockCount(), asShownWhole(text).count(u'\n') + 1);
        EXPECT_EQ(edited.count(), 0);
        EXPECT_FALSE(editor.document()->isUndoAvailable());
        EXPECT_EQ(editor.textCursor().position(), 0);
    }
    // No piece splits a character of two halves.
    NoteEditor editor;
    editor.showText(surrogates);
    for (QTextBlock block = editor.document()->begin(); block.isValid(); block = block.next())
        EXPECT_FALSE(block.text().back().isHighSurrogate()) << block.blockNumber();
}

// Each edit at the break between two pieces changes the text as the same edit would change the
// line shown whole.
TEST(notesLongLines, EditsAtTheBreakBetweenPiecesChangeOnlyWhatWasTyped)
{
    const QString line = wordsLine(2600);
    struct Case
    {
        const char *name;
        std::function<void(NoteEditor &, int)> edit;   // given the position of the second piece
        std::function<QString(QString, int)> expected; // given the text and that place in it
    };
    const auto at = [](NoteEditor &editor, int position) {
        QTextCursor cursor = editor.textCursor();
        cursor.setPosition(position);
        editor.setTextCursor(cursor);
    };
    const auto paste = [](NoteEditor &editor, const QString &text) {
        QGuiApplication::clipboard()->setText(text);
        editor.paste();
    };
    const std::vector<Case> cases{
        {"a letter at the start of a piece",
         [&](NoteEditor &e, int p) {
             at(e, p);
             QTest::keyClick(&e, Qt::Key_Z);
         },
         [](QString t, int r) {
             return t.insert(r, u'z');
         }},
        {"a letter at the end of the piece before",
         [&](NoteEditor &e, int p) {
             at(e, p - 1);
             QTest::keyClick(&e, Qt::Key_Z);
         },
         [](QString t, int r) {
             return t.insert(r, u'z');
         }},
        {"Enter at the start of a piece",
         [&](NoteEditor &e, int p) {
             at(e, p);
             QTest::keyClick(&e, Qt::Key_Return);
         },
         [](QString t, int r) {
             return t.insert(r, u'\n');
         }},
        {"Enter inside a piece",
         [&](NoteEditor &e, int p) {
             at(e, p + 10);
             QTest::keyClick(&e, Qt::Key_Return);
         },
         [](QString t, int r) {
             return t.insert(r + 10, u'\n');
         }},
        {"Enter, then undo, then redo",
         [&](NoteEditor &e, int p) {
             at(e, p + 10);
             QTest::keyClick(&e, Qt::Key_Return);
             e.undo();
             e.redo();
         },
         [](QString t, int r) {
             return t.insert(r + 10, u'\n');
         }},
        {"Backspace at the start of a piece",
         [&](NoteEditor &e, int p) {
             at(e, p);
             QTest::keyClick(&e, Qt::Key_Backspace);
         },
         [](QString t, int r) {
             return t.remove(r - 1, 1);
         }},
        {"Delete at the end of the piece before",
         [&](NoteEditor &e, int p) {
             at(e, p - 1);
             QTest::keyClick(&e, Qt::Key_Delete);
         },
         [](QString t, int r) {
             return t.remove(r, 1);
         }},
        {"a selection over the break deleted",
         [&](NoteEditor &e, int p) {
             QTextCursor cursor = e.textCursor();
             cursor.setPosition(p - 6);
             cursor.setPosition(p + 5, QTextCursor::KeepAnchor);
             e.setTextCursor(cursor);
             QTest::keyClick(&e, Qt::Key_Backspace);
         },
         [](QString t, int r) {
             return t.remove(r - 5, 10);
         }},
        {"Right over the break, then a letter",
         [&](NoteEditor &e, int p) {
             at(e, p - 1);
             QTest::keyClick(&e, Qt::Key_Right);
             QTest::keyClick(&e, Qt::Key_Z);
         },
         [](QString t, int r) {
             return t.insert(r + 1, u'z');
         }},
        {"Left over the break, then a letter",
         [&](NoteEditor &e, int p) {
             at(e, p);
             QTest::keyClick(&e, Qt::Key_Left);
             QTest::keyClick(&e, Qt::Key_Z);
         },
         [](QString t, int r) {
             return t.insert(r - 1, u'z');
         }},
        {"lines pasted into a piece",
         [&](NoteEditor &e, int p) {
             at(e, p + 10);
             paste(e, "a\nb\n");
         },
         [](QString t, int r) {
             return t.insert(r + 10, "a\nb\n");
         }},
        {"a long line pasted into a piece, then undone",
         [&](NoteEditor &e, int p) {
             at(e, p + 10);
             paste(e, wordsLine(3000) + "\nnext");
             e.undo();
         },
         [](QString t, int) {
             return t;
         }},
        {"a long line pasted into a piece",
         [&](NoteEditor &e, int p) {
             at(e, p + 10);
             paste(e, wordsLine(3000) + "\nnext");
         },
         [](QString t, int r) {
             return t.insert(r + 10, wordsLine(3000) + "\nnext");
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        NoteEditor editor;
        editor.showText(line);
        const int second = editor.document()->firstBlock().next().position();
        ASSERT_TRUE(displaylines::continuesLine(editor.document()->firstBlock().next()));
        c.edit(editor, second);
        EXPECT_TRUE(same(editor.noteText(), c.expected(line, second - 1)));
        // At worst two pieces joined by an edit.
        EXPECT_LE(longestParagraph(*editor.document()), 2 * displaylines::kPieceLength);
    }
}

TEST(notesLongLines, CopyAndPasteCarryTheTextWithoutTheBreaksBetweenPieces)
{
    const QString line = wordsLine(2600);
    NoteEditor editor;
    editor.showText(line);
    const int second = editor.document()->firstBlock().next().position();
    QTextCursor cursor = editor.textCursor();
    cursor.setPosition(second - 6);
    cursor.setPosition(second + 5, QTextCursor::KeepAnchor);
    editor.setTextCursor(cursor);
    editor.copy();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), line.mid(second - 6, 10));
    editor.cut();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), line.mid(second - 6, 10));
    EXPECT_TRUE(same(editor.noteText(), QString(line).remove(second - 6, 10)));

    // A long line pasted into an ordinary note goes in as pieces too.
    NoteEditor ordinary;
    ordinary.showText("before after");
    cursor = ordinary.textCursor();
    cursor.setPosition(7);
    ordinary.setTextCursor(cursor);
    QGuiApplication::clipboard()->setText(line);
    ordinary.paste();
    EXPECT_TRUE(same(ordinary.noteText(), "before " + line + "after"));
    EXPECT_LE(longestParagraph(*ordinary.document()), displaylines::kPieceLength);
}

} // namespace
} // namespace quillet::test
