#pragma once

#include <QString>

class QFont;

namespace quillet {

// A tooltip that shows exactly the text given. Tooltips take text that looks like markup
// ("<b>x</b>", a title starting with a tag) as markup, so the text goes as escaped rich text.
// Its lines are wrapped to maxWidth pixels in the font given (at spaces where they can be,
// anywhere in a word too long for a line), so that a long title never runs off the screen.
QString plainToolTip(const QString &text, const QFont &font, int maxWidth);

} // namespace quillet
