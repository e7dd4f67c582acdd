#include "notes/NoteEditor.h"

#include "platform/Colors.h"

#include <stdexcept>

namespace quillet {

NoteEditor::NoteEditor(QWidget *parent)
    : QPlainTextEdit(parent)
{
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
}

void NoteEditor::setFontName(const QString &name)
{
    QFont f = font();
    f.setFamilies({name});
    setFont(f);
}

void NoteEditor::setFontSize(double points)
{
    // The largest size the toolkit's fonts accept; beyond it, or at 0 and below, the size is
    // not a size a note can be shown in.
    if (!(points > 0.0 && points <= 1638.0))
        throw std::invalid_argument("not a font size");
    QFont f = font();
    f.setPointSizeF(points);
    setFont(f);
}

void NoteEditor::setFontBold(bool bold)
{
    QFont f = font();
    f.setBold(bold);
    setFont(f);
}

void NoteEditor::setFontItalic(bool italic)
{
    QFont f = font();
    f.setItalic(italic);
    setFont(f);
}

std::int32_t NoteEditor::foreColor() const
{
    return colors::toStored(palette().color(QPalette::Text));
}

void NoteEditor::setForeColor(std::int32_t color)
{
    QPalette p = palette();
    p.setColor(QPalette::Text, colors::fromStored(color));
    setPalette(p);
}

std::int32_t NoteEditor::backColor() const
{
    return colors::toStored(palette().color(QPalette::Base));
}

void NoteEditor::setBackColor(std::int32_t color)
{
    QPalette p = palette();
    p.setColor(QPalette::Base, colors::fromStored(color));
    setPalette(p);
}

void NoteEditor::focusOutEvent(QFocusEvent *event)
{
    QPlainTextEdit::focusOutEvent(event);
    emit focusLost();
}

} // namespace quillet
