#include "notes/NoteEditor.h"

#include "notes/DisplayLines.h"
#include "platform/Colors.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QTextBlock>
#include <QTextDocumentFragment>

#include <cstdlib>

namespace quillet {

NoteEditor::NoteEditor(QWidget *parent)
    : QPlainTextEdit(parent)
{
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // Tab moves the focus on, as in a desktop text box, so that every button is reachable
    // from the keyboard; Ctrl+Tab types a tab character.
    setTabChangesFocus(true);
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_showing)
            emit edited();
    });
}

void NoteEditor::showText(const QString &text)
{
    m_showing = true;
    m_pieces = displaylines::hasLongLine(text);
    if (!m_pieces) {
        setPlainText(text);
    } else {
        // Put in and made into pieces in one edit, so that no line is laid out whole: the
        // toolkit's own setPlainText lays out the first line at once to show the cursor.
        setPlainText(QString());
        QTextDocument &shown = *document();
        const bool undo = shown.isUndoRedoEnabled();
        shown.setUndoRedoEnabled(false);
        QTextCursor cursor(&shown);
        cursor.beginEditBlock();
        cursor.insertText(text);
        displaylines::split(shown, 0, shown.blockCount() - 1);
        cursor.endEditBlock();
        shown.setUndoRedoEnabled(undo);
        shown.setModified(false);
        moveCursor(QTextCursor::Start);
    }
    m_showing = false;
}

QString NoteEditor::noteText() const
{
    return m_pieces ? displaylines::text(*document()) : toPlainText();
}

void NoteEditor::keyPressEvent(QKeyEvent *event)
{
    if (!m_pieces || isReadOnly()) {
        QPlainTextEdit::keyPressEvent(event);
        return;
    }
    const int key = event->key();
    const bool shifted = event->modifiers() & Qt::ShiftModifier;
    const bool plain = !(event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier));
    QTextCursor cursor = textCursor();
    // A line break typed in a piece starts a line of its own, which the toolkit would otherwise
    // give the piece's mark of continuing the line before.
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && !shifted) {
        QTextBlockFormat line = cursor.blockFormat();
        cursor.insertBlock(line);
        displaylines::startLine(cursor.block());
        setTextCursor(cursor);
        ensureCursorVisible();
        event->accept();
        return;
    }
    // Backspace and Delete take a character of the text, not the break between two pieces.
    if (!cursor.hasSelection() && key == Qt::Key_Backspace && plain) {
        while (cursor.atBlockStart() && displaylines::continuesLine(cursor.block()))
            cursor.movePosition(QTextCursor::PreviousCharacter);
        setTextCursor(cursor);
    } else if (!cursor.hasSelection() && event->matches(QKeySequence::Delete)) {
        while (cursor.atBlockEnd() && displaylines::continuesLine(cursor.block().next()))
            cursor.movePosition(QTextCursor::NextCharacter);
        setTextCursor(cursor);
    }
    const int before = textCursor().position();
    QPlainTextEdit::keyPressEvent(event);
    // An arrow that only crossed the break between two pieces goes on by one character.
    const int after = textCursor().position();
    if ((key == Qt::Key_Left || key == Qt::Key_Right) && plain && std::abs(after - before) == 1) {
        const QTextBlock later = document()->findBlock(std::max(before, after));
        if (later.position() == std::max(before, after) && displaylines::continuesLine(later))
            QPlainTextEdit::keyPressEvent(event);
    }
}

void NoteEditor::insertFromMimeData(const QMimeData *source)
{
    const QString text = source->text();
    if (!m_pieces && text.size() <= displaylines::kPieceLength) {
        QPlainTextEdit::insertFromMimeData(source);
        return;
    }
    // The paste as the toolkit makes it, its line breaks starting lines of their own, and its
    // long lines in pieces, as one edit to undo.
    QTextCursor cursor = textCursor();
    cursor.beginEditBlock();
    const int first = document()->findBlock(cursor.selectionStart()).blockNumber();
    cursor.insertFragment(QTextDocumentFragment::fromPlainText(text));
    const int last = cursor.blockNumber();
    for (QTextBlock block = document()->findBlockByNumber(first + 1);
         block.isValid() && block.blockNumber() <= last; block = block.next())
        displaylines::startLine(block);
    m_pieces = displaylines::split(*document(), first, last) || m_pieces;
    cursor.endEditBlock();
    setTextCursor(cursor);
    ensureCursorVisible();
}

QMimeData *NoteEditor::createMimeDataFromSelection() const
{
    if (!m_pieces)
        return QPlainTextEdit::createMimeDataFromSelection();
    const QTextCursor cursor = textCursor();
    auto *data = new QMimeData;
    data->setText(displaylines::text(*document(), cursor.selectionStart(), cursor.selectionEnd()));
    return data;
}

std::int32_t NoteEditor::foreColor() const
{
    return colors::toStored(palette().color(QPalette::Text));
}

std::int32_t NoteEditor::backColor() const
{
    return colors::toStored(palette().color(QPalette::Base));
}

EditorFormat NoteEditor::format() const
{
    return {fontName(), fontSize(), foreColor(), backColor(), fontBold(), fontItalic()};
}

void NoteEditor::setFormat(const EditorFormat &format)
{
    // One font and one palette change, so the text is laid out once.
    QFont f = font();
    f.setFamilies({format.fontName});
    if (isShowableSize(format.fontSize))
        f.setPointSizeF(format.fontSize);
    f.setBold(format.bold);
    f.setItalic(format.italic);
    setFont(f);

    QPalette p = palette();
    p.setColor(QPalette::Text, colors::fromStored(format.foreColor));
    p.setColor(QPalette::Base, colors::fromStored(format.backColor));
    setPalette(p);
}

bool NoteEditor::event(QEvent *event)
{
    // Ctrl+Tab is claimed before it becomes a key press (windows use it to switch): the
    // editor takes it first, when it has the focus.
    if (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        // Ctrl+Insert adds a subitem here, not an old way to copy: the window's key wins.
        if (event->type() == QEvent::ShortcutOverride && key->key() == Qt::Key_Insert &&
            key->modifiers() == Qt::ControlModifier) {
            event->ignore();
            return false;
        }
        if (key->key() == Qt::Key_Tab && key->modifiers() == Qt::ControlModifier) {
            if (event->type() == QEvent::KeyPress && !isReadOnly())
                insertPlainText(QStringLiteral("\t"));
            event->accept();
            return true;
        }
    }
    return QPlainTextEdit::event(event);
}

void NoteEditor::focusOutEvent(QFocusEvent *event)
{
    QPlainTextEdit::focusOutEvent(event);
    emit focusLost();
}

} // namespace quillet
