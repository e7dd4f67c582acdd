#include "notes/NotePrinting.h"

#include "platform/Colors.h"

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QPrinter>
#include <QTextCursor>
#include <QTextDocument>

#include <cmath>

namespace quillet {

void printNote(QPrinter &printer, const QString &header, const QString &text,
               const EditorFormat &format)
{
    QPainter painter(&printer);
    const QRectF page = printer.pageLayout().paintRectPixels(printer.resolution());
    const QRectF area(0, 0, page.width(), page.height());

    // The header: the note's place in the outline, in a small plain font, with a rule below.
    QFont headerFont(QStringLiteral("DejaVu Sans"));
    headerFont.setPointSizeF(9);
    const QFontMetricsF headerMetrics(headerFont, &printer);
    const qreal headerHeight = headerMetrics.height() * 2;
    const QRectF body(0, headerHeight, area.width(), area.height() - headerHeight);

    QFont font(format.fontName);
    if (isShowableSize(format.fontSize))
        font.setPointSizeF(format.fontSize);
    font.setBold(format.bold);
    font.setItalic(format.italic);
    QTextDocument document;
    document.documentLayout()->setPaintDevice(&printer);
    document.setDefaultFont(font);
    document.setPlainText(text);
    QTextCharFormat colours;
    colours.setForeground(colors::fromStored(format.foreColor));
    QTextCursor all(&document);
    all.select(QTextCursor::Document);
    all.mergeCharFormat(colours);
    document.setPageSize(body.size());

    const int pages = std::max(1, document.pageCount());
    for (int number = 0; number < pages; ++number) {
        if (number > 0)
            printer.newPage();
        painter.fillRect(body, colors::fromStored(format.backColor));
        painter.setFont(headerFont);
        painter.setPen(Qt::black);
        const QString shown = headerMetrics.elidedText(header, Qt::ElideMiddle, area.width());
        painter.drawText(QRectF(0, 0, area.width(), headerMetrics.height()),
                         Qt::AlignLeft | Qt::AlignVCenter, shown);
        const qreal rule = headerMetrics.height() * 1.5;
        painter.drawLine(QPointF(0, rule), QPointF(area.width(), rule));

        painter.save();
        painter.translate(body.left(), body.top() - number * body.height());
        document.drawContents(&painter,
                              QRectF(0, number * body.height(), body.width(), body.height()));
        painter.restore();
    }
}

} // namespace quillet
