#include "notes/NoteEditor.h"

#include "platform/Colors.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>

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
        if (!m_showing)
            emit edited();
    });
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
    setPlainText(text);
    m_showing = false;
    m_unchanged = noteText();
}

QString NoteEditor::noteText() const
{
    // The document's own text keeps every character as typed; only the breaks between its
    // lines are its own, and become the note's.
    QString text = document()->toRawText();
    if (m_lineBreak != QChar(QChar::ParagraphSeparator))
        text.replace(QChar::ParagraphSeparator, m_lineBreak);
    return text;
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
    menu->exec(event->globalPos());
}

void NoteEditor::focusOutEvent(QFocusEvent *event)
{
    QPlainTextEdit::focusOutEvent(event);
    emit focusLost();
}

} // namespace quillet
