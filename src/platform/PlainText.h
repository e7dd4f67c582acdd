#pragma once

#include <QString>

namespace quillet {

// A tooltip that shows exactly the text given. Tooltips take text that looks like markup
// ("<b>x</b>", a title starting with a tag) as markup, so the text goes as escaped rich text,
// its spaces and line breaks kept.
QString plainToolTip(const QString &text);

} // namespace quillet
