#include "notes/editor/DisplayLines.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <vector>

namespace quillet::displaylines {

namespace {

// The block format property that marks a piece continuing the line before it.
constexpr int kContinuesLine = QTextFormat::UserProperty + 17;

// Where each piece of a line of text ends: after the last space in the second half of its
// kPieceLength characters, else after kPieceLength characters (never between the two halves
// of a surrogate pair).
std::vector<int> pieceEnds(const QString &text)
{
    std::vector<int> ends;
    qsizetype start = 0;
    while (text.size() - start > kPieceLength) {
        qsizetype end = start + kPieceLength;
        qsizetype space = end - 1;
        while (space >= start + kPieceLength / 2 && text[space] != u' ')
            --space;
        if (space >= start + kPieceLength / 2)
            end = space + 1;
        else if (text[end - 1].isHighSurrogate())
            --end;
        ends.push_back(static_cast<int>(end));
        start = end;
    }
    return ends;
}

} // namespace

bool hasLongLine(const QString &text)
{
    if (text.size() <= kPieceLength)
        return false;
    qsizetype run = 0;
    for (const QChar c : text) {
        // The characters the toolkit starts a paragraph at.
        if (c == u'\n' || c == u'\r' || c == QChar::ParagraphSeparator)
            run = 0;
        else if (++run > kPieceLength)
            return true;
    }
    return false;
}

bool continuesLine(const QTextBlock &block)
{
    return block.blockFormat().boolProperty(kContinuesLine);
}

bool split(QTextDocument &document, int firstBlock, int lastBlock)
{
    std::vector<int> positions;
    for (QTextBlock block = document.findBlockByNumber(firstBlock);
         block.isValid() && block.blockNumber() <= lastBlock; block = block.next()) {
        if (block.length() - 1 <= kPieceLength)
            continue;
        for (const int end : pieceEnds(block.text()))
            positions.push_back(block.position() + end);
    }
    if (positions.empty())
        return false;
    // From the last piece back, so that the positions before it stay where they were; in one
    // edit, so that the document is laid out once, piece by piece, when it is shown.
    QTextCursor cursor(&document);
    cursor.beginEditBlock();
    for (auto at = positions.rbegin(); at != positions.rend(); ++at) {
        cursor.setPosition(*at);
        QTextBlockFormat piece = cursor.blockFormat();
        piece.setProperty(kContinuesLine, true);
        cursor.insertBlock(piece);
    }
    cursor.endEditBlock();
    return true;
}

void startLine(const QTextBlock &block)
{
    if (!continuesLine(block))
        return;
    QTextBlockFormat line = block.blockFormat();
    line.clearProperty(kContinuesLine);
    QTextCursor(block).setBlockFormat(line);
}

QString text(const QTextDocument &document, int from, int to)
{
    QString text;
    for (QTextBlock block = document.findBlock(from); block.isValid() && block.position() <= to;
         block = block.next()) {
        // The break before this paragraph, when it lies inside the range and ends a line.
        if (block.position() > from && !continuesLine(block))
            text += u'\n';
        const int start = std::max(from, block.position()) - block.position();
        const int end = std::min(to, block.position() + block.length() - 1) - block.position();
        text += block.text().mid(start, end - start);
    }
    // As the toolkit gives the text of a plain document.
    for (QChar &c : text) {
        if (c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            c = u'\n';
        else if (c == QChar::Nbsp)
            c = u' ';
    }
    return text;
}

QString text(const QTextDocument &document)
{
    return text(document, 0, document.characterCount() - 1);
}

} // namespace quillet::displaylines
