#pragma once

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
    void setFontName(const QString &name);
    double fontSize() const { return font().pointSizeF(); }
    // Sizes outside what a font can take are refused (std::invalid_argument).
    void setFontSize(double points);
    bool fontBold() const { return font().bold(); }
    void setFontBold(bool bold);
    bool fontItalic() const { return font().italic(); }
    void setFontItalic(bool italic);
    std::int32_t foreColor() const;
    void setForeColor(std::int32_t color);
    std::int32_t backColor() const;
    void setBackColor(std::int32_t color);

signals:
    void focusLost();

protected:
    void focusOutEvent(QFocusEvent *event) override;
};

} // namespace quillet
