#include "notes/NoteEditor.h"

#include "platform/Colors.h"

namespace quillet {

NoteEditor::NoteEditor(QWidget *parent)
    : QPlainTextEdit(parent)
{
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_showing)
            emit edited();
    });
}

void NoteEditor::showText(const QString &text)
{
    m_showing = true;
    setPlainText(text);
    m_showing = false;
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

void NoteEditor::focusOutEvent(QFocusEvent *event)
{
    QPlainTextEdit::focusOutEvent(event);
    emit focusLost();
}

} // namespace quillet
