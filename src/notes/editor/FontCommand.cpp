#include "notes/editor/FontCommand.h"

#include "dialogs/CdlgEx.h"

#include <cmath>
#include <limits>

namespace quillet {

EditorFormat chooseFont(CdlgEx &dialog, EditorFormat format, std::int32_t owner)
{
    dialog.setFontName(format.fontName);
    // 9.75 becomes 10, 10.5 becomes 10.
    const double size = std::nearbyint(format.fontSize);
    if (size >= std::numeric_limits<std::int32_t>::min() &&
        size <= std::numeric_limits<std::int32_t>::max())
        dialog.setFontSize(static_cast<std::int32_t>(size));
    dialog.setRGBResult(format.foreColor);
    dialog.setBold(format.bold);
    dialog.setItalic(format.italic);
    dialog.sethOwner(owner);
    try {
        dialog.ShowFont();
    } catch (const std::exception &) {
        // Cancelled with CancelError set, or a name or size the chooser cannot take.
    }
    if (!dialog.FontName().isEmpty())
        format.fontName = dialog.FontName();
    format.fontSize = dialog.FontSize();
    format.foreColor = dialog.RGBResult();
    format.bold = dialog.Bold();
    format.italic = dialog.Italic();
    return format;
}

EditorFormat chooseBackground(CdlgEx &dialog, EditorFormat format, std::int32_t owner)
{
    dialog.sethOwner(owner);
    dialog.setRGBResult(format.backColor);
    dialog.ShowColor(true);
    if (dialog.RGBResult() > 0)
        format.backColor = dialog.RGBResult();
    return format;
}

} // namespace quillet
