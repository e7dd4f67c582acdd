#include "platform/PlainText.h"

#include <QFont>
#include <QStringList>
#include <QTextLayout>

namespace quillet {

QString plainToolTip(const QString &text, const QFont &font, int maxWidth)
{
    if (text.isEmpty())
        return {};
    QStringList lines;
    for (const QString &paragraph : text.split(QLatin1Char('\n'))) {
        QTextLayout layout(paragraph, font);
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(maxWidth);
            lines << paragraph.mid(line.textStart(), line.textLength()).toHtmlEscaped();
        }
        layout.endLayout();
        if (paragraph.isEmpty())
            lines << QString();
    }
    return QStringLiteral("<p style='white-space:pre'>") + lines.join(QStringLiteral("<br>")) +
           QStringLiteral("</p>");
}

} // namespace quillet
