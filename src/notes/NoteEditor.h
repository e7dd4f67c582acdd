#pragma once

#include "notes/EditorFormat.h"

#include <QPlainTextEdit>

#include <cstdint>

namespace quillet {

// The note editor. Its format is the editor's own: one font name, size, bold and italic for
// the whole text, a text colour and a background colour, with colours as stored (0x00BBGGRR).
class NoteEditor : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit NoteEditor(QWidget *parent = nullptr);

    QString fontName() const { return font().family(); }
    double fontSize() const { return font().pointSizeF(); }
    bool fontBold() const { return font().bold(); }
    bool fontItalic() const { return font().italic(); }
    std::int32_t foreColor() const;
    std::int32_t backColor() const;

    // The format as the editor reports it, after the toolkit's own adjustments.
    EditorFormat format() const;
    // Applies every property of the format; a size the editor cannot take keeps the size it has.
    void setFormat(const EditorFormat &format);

    // Shows a note's text: a change the user did not make, so edited() is not raised.
    void showText(const QString &text);

signals:
    void focusLost();
    // The user changed the text: typing, pasting, cutting, undoing.
    void edited();

protected:
    bool event(QEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    bool m_showing = false;
};

} // namespace quillet
