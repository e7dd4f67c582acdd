#pragma once

#include <QString>

class QTextBlock;
class QTextCursor;
class QTextDocument;

// A line of a note far longer than a window's width (a pasted log, a data dump) is shown as
// several paragraphs of the editor's document, pieces that each continue the line of the one
// before. The toolkit lays a paragraph out whole, every time any character of it changes: a
// keystroke in a line of a megabyte took most of a second, in a piece of a thousand characters
// it takes as long as in any other line. The pieces are for display only: the text read back
// joins them again, so that what is stored and copied is exactly what was typed.
namespace quillet::displaylines {

// Lines longer than this are shown in pieces of about this many characters, each ending after
// a space where there is one in its last half.
inline constexpr int kPieceLength = 1000;

// True when the text holds a line longer than kPieceLength.
bool hasLongLine(const QString &text);

// True when the paragraph continues the line of the one before it, with no line break between.
bool continuesLine(const QTextBlock &block);

// Makes every paragraph of the document from firstBlock to lastBlock (block numbers) that is
// longer than kPieceLength into pieces; false when none was. Undoable as one edit.
bool split(QTextDocument &document, int firstBlock, int lastBlock);

// Makes the paragraph a line of its own, as a line break the user typed or pasted makes it.
void startLine(const QTextBlock &block);

// The text between two positions as the toolkit would give it (paragraph separators and line
// separators as line feeds, no-break spaces as spaces), with the pieces of lines joined.
QString text(const QTextDocument &document, int from, int to);
QString text(const QTextDocument &document);

} // namespace quillet::displaylines
