#include "notes/windows/NotePrinting.h"

#include "platform/Choosers.h"
#include "platform/Colors.h"
#include "platform/MessageBoxes.h"
#include "platform/Printers.h"
#include "platform/WindowHandles.h"

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QPrinter>
#include <QTextCursor>
#include <QTextDocument>

#include <cmath>
#include <stdexcept>

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

    QTextDocument document;
    document.documentLayout()->setPaintDevice(&printer);
    document.setDefaultFont(fontOf(format));
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

QString printFileName(const QString &title)
{
    QString name;
    for (const QChar c : title)
        name += c.unicode() < 0x20 || QStringLiteral("/\\:*?\"<>|").contains(c) ? QChar(u'_') : c;
    while (name.startsWith(QLatin1Char('.')) || name.startsWith(QLatin1Char('-')) ||
           name.startsWith(QLatin1Char(' ')))
        name.remove(0, 1);
    // 200 bytes at the most, never cutting a character (nor a surrogate pair) in two.
    qsizetype bytes = 0;
    qsizetype kept = 0;
    while (kept < name.size()) {
        const bool pair = name[kept].isHighSurrogate() && kept + 1 < name.size();
        const qsizetype size = QStringView(name).mid(kept, pair ? 2 : 1).toUtf8().size();
        if (bytes + size > 200)
            break;
        bytes += size;
        kept += pair ? 2 : 1;
    }
    name.truncate(kept);
    return name.isEmpty() ? QStringLiteral("note") : name;
}

void printThroughDialog(Platform &platform, QWidget *owner, const QString &title,
                        const QString &fullPath, const QString &text, const EditorFormat &format)
{
    if (!platform.choosers)
        throw std::logic_error("No print dialog is available.");
    PrintSettings settings;
    settings.owner = windowHandles::handleOf(owner);
    settings.documentName = printFileName(title);
    try {
        if (!platform.printers)
            throw PrinterUnavailable(
                QObject::tr("No printer is installed on this computer.").toStdString());
        settings.deviceName = platform.printers->deviceName();
        settings.orientation = platform.printers->orientation();
        settings.duplex = platform.printers->duplex();
        settings.copies = platform.printers->copies();
    } catch (const PrinterUnavailable &error) {
        platform.messageBoxes.inform(
            owner, QStringLiteral("Quillet"),
            QString::fromUtf8(error.what()) +
                QObject::tr("\n\nThe print dialog can still print the note to a PDF file."),
            MessageBoxes::Icon::Information);
    }
    platform.choosers->printDocument(
        settings, [&](QPrinter &printer) { printNote(printer, fullPath, text, format); });
}

} // namespace quillet
