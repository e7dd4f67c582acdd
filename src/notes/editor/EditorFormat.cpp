#include "notes/editor/EditorFormat.h"

#include "notes/outline/TrimValue.h"
#include "store/Keys.h"

#include <QStringList>

namespace quillet {

bool isShowableSize(double points)
{
    return points > 0.0 && points <= kLargestFontSize;
}

EditorFormat defaultFormat()
{
    const NoteFormat stored = defaultNoteFormat();
    return {QString::fromStdString(stored.fontName),
            stored.fontSize,
            stored.foreColor,
            stored.backColor,
            stored.bold,
            stored.italic};
}

EditorFormat shownFormat(const std::optional<NoteRow> &row, const EditorFormat &current)
{
    if (!row)
        return defaultFormat();
    // A Null size is not 0: the stored format applies, column by column. A size that is not a
    // number cannot be compared with 0, which counts as no stored format.
    if (!row->fontSize.isNull()) {
        const std::optional<double> size = row->fontSize.toDouble();
        if (!size || *size == 0.0)
            return defaultFormat();
    }

    EditorFormat shown = current;
    if (const std::optional<std::string> name = row->fontName.toText()) {
        const std::string_view trimmed = keys::trimmedSpaces(*name);
        if (!trimmed.empty())
            shown.fontName = fromStored(trimmed);
    }
    // The editor holds sizes in single precision, as the column does.
    if (const std::optional<double> size = row->fontSize.toDouble();
        size && isShowableSize(static_cast<float>(*size)))
        shown.fontSize = static_cast<float>(*size);
    if (const std::optional<std::int32_t> color = row->foreColor.toInt32())
        shown.foreColor = *color;
    if (const std::optional<std::int32_t> color = row->backColor.toInt32())
        shown.backColor = *color;
    if (const std::optional<bool> bold = row->bold.toBool())
        shown.bold = *bold;
    if (const std::optional<bool> italic = row->italic.toBool())
        shown.italic = *italic;
    return shown;
}

NoteFormat storedFormat(const EditorFormat &format)
{
    NoteFormat stored;
    stored.fontName = format.fontName.toStdString();
    stored.fontSize = static_cast<float>(format.fontSize);
    stored.foreColor = format.foreColor;
    stored.backColor = format.backColor;
    stored.bold = format.bold;
    stored.italic = format.italic;
    return stored;
}

QFont fontOf(const EditorFormat &format, QFont font)
{
    font.setFamilies({format.fontName});
    if (isShowableSize(format.fontSize))
        font.setPointSizeF(format.fontSize);
    font.setBold(format.bold);
    font.setItalic(format.italic);
    return font;
}

} // namespace quillet
