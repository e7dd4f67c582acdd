#include "notes/editor/NoteEditor.h"

#include "notes/editor/DisplayLines.h"
#include "platform/Colors.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QTextBlock>
#include <QTextDocumentFragment>

#include <cstdlib>
#include <memory>
#include <utility>

namespace quillet {

NoteEditor::NoteEditor(QWidget *parent)
    : QPlainTextEdit(parent)
{
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // Tab moves the focus on, as in a desktop text box, so that every button is reachable
    // from the keyboard; Ctrl+Tab types a tab character.
    setTabChangesFocus(true);
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (!extraSelections().isEmpty())
            setExtraSelections({});
        if (!m_showing)
            emit edited();
    });
    connect(document(), &QTextDocument::contentsChange, this, &NoteEditor::followEdit);
}

namespace {

// The first line break of a text: carriage return and line feed, either alone, or a paragraph
// separator; a line feed when the text has none. Each starts a new line in the editor.
QString firstLineBreak(const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\n' || c == QChar::ParagraphSeparator)
            return QString(c);
        if (c == u'\r')
            return i + 1 < text.size() && text[i + 1] == u'\n' ? QStringLiteral("\r\n")
                                                               : QStringLiteral("\r");
    }
    return QStringLiteral("\n");
}

} // namespace

void NoteEditor::showText(const QString &text)
{
    m_showing = true;
    m_lineBreak = firstLineBreak(text);
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
    m_unchanged = noteText();
}

QString NoteEditor::noteText() const
{
    // The document's own text keeps every character as typed (no-break spaces, line
    // separators); only the breaks between its paragraphs are its own, and become the note's
    // line break, or nothing between the pieces of one long line.
    if (!m_pieces) {
        QString text = document()->toRawText();
        if (m_lineBreak != QChar(QChar::ParagraphSeparator))
            text.replace(QChar::ParagraphSeparator, m_lineBreak);
        return text;
    }
    QString text;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        if (block != document()->begin() && !displaylines::continuesLine(block))
            text += m_lineBreak;
        text += block.text();
    }
    return text;
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
    setFont(fontOf(format, font()));

    QPalette p = palette();
    p.setColor(QPalette::Text, colors::fromStored(format.foreColor));
    p.setColor(QPalette::Base, colors::fromStored(format.backColor));
    setPalette(p);
}

bool NoteEditor::event(QEvent *event)
{
    // The lines are laid out again in another font: where the underlines go is worked out anew.
    if (event->type() == QEvent::FontChange)
        m_waves.blocks.clear();
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
            // The main window's document area takes the key press of Ctrl+Tab to switch its
            // windows, before the editor sees it; only the override reaches the editor first.
            // The tab goes in then, and the press, when it does come, adds nothing.
            if (event->type() == QEvent::ShortcutOverride) {
                if (!isReadOnly())
                    insertPlainText(QStringLiteral("\t"));
                m_tabTyped = true;
            } else if (!std::exchange(m_tabTyped, false) && !isReadOnly()) {
                insertPlainText(QStringLiteral("\t"));
            }
            event->accept();
            return true;
        }
    }
    return QPlainTextEdit::event(event);
}

void NoteEditor::contextMenuEvent(QContextMenuEvent *event)
{
    // The editor's own menu, and the note's earlier versions.
    std::unique_ptr<QMenu> menu(createStandardContextMenu(event->pos()));
    menu->addSeparator();
    QAction *history = menu->addAction(tr("&History...\tCtrl+H"));
    connect(history, &QAction::triggered, this, &NoteEditor::historyRequested);
    if (m_menuHook)
        m_menuHook(*menu, cursorForPosition(event->pos()));
    menu->exec(event->globalPos());
}

void NoteEditor::focusOutEvent(QFocusEvent *event)
{
    QPlainTextEdit::focusOutEvent(event);
    emit focusLost();
}

void NoteEditor::markFound(const WordSpan &match)
{
    // The find colour: a light yellow behind the text, as find marks in other programs; the
    // text keeps its own colour.
    static const QColor kFoundColor(0xFF, 0xE0, 0x66);
    QTextEdit::ExtraSelection found;
    found.cursor = QTextCursor(document());
    found.cursor.setPosition(static_cast<int>(match.start));
    found.cursor.setPosition(static_cast<int>(match.start + match.length), QTextCursor::KeepAnchor);
    found.format.setBackground(kFoundColor);
    found.format.setForeground(Qt::black);
    setExtraSelections({found});
    QTextCursor caret(document());
    caret.setPosition(static_cast<int>(match.start));
    setTextCursor(caret);
    ensureCursorVisible();
}

std::optional<WordSpan> NoteEditor::markedFound() const
{
    const QList<QTextEdit::ExtraSelection> marked = extraSelections();
    if (marked.isEmpty())
        return std::nullopt;
    const QTextCursor &cursor = marked.front().cursor;
    return WordSpan{cursor.selectionStart(), cursor.selectionEnd() - cursor.selectionStart()};
}

} // namespace quillet
