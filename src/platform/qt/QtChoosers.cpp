#include "platform/qt/QtChoosers.h"

#include "platform/Colors.h"
#include "platform/PrinterRecords.h"
#include "platform/WindowHandles.h"
#include "platform/qt/FontChooserDialog.h"
#include "platform/qt/QtPrinters.h"

#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontInfo>
#include <QGuiApplication>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QScreen>

#include <cmath>
#include <cstring>

namespace quillet {

FontResult QtChoosers::chooseFont(const FontRequest &request)
{
    QFont start(request.font.face());
    start.setPointSizeF(request.pointSize > 0 ? request.pointSize / 10.0 : 10.0);
    start.setBold(request.font.weight >= 600);
    start.setItalic(request.font.italic != 0);
    start.setUnderline(request.font.underline != 0);
    start.setStrikeOut(request.font.strikeOut != 0);

    FontChooserDialog dialog(windowHandles::windowOf(request.owner));
    dialog.setChoice(start, colors::fromStored(request.color));
    FontResult result;
    if (dialog.exec() != QDialog::Accepted)
        return result;

    const QFont chosen = dialog.chosenFont();
    result.confirmed = true;
    const QByteArray face = chosen.family().toUtf8().left(32);
    std::memcpy(result.font.faceName.data(), face.constData(),
                static_cast<std::size_t>(face.size()));
    result.font.weight = chosen.bold() ? 700 : 400;
    result.font.italic = chosen.italic() ? 1 : 0;
    result.font.underline = chosen.underline() ? 1 : 0;
    result.font.strikeOut = chosen.strikeOut() ? 1 : 0;
    result.pointSize = static_cast<std::int32_t>(std::lround(chosen.pointSizeF() * 10));
    result.font.height = static_cast<std::int32_t>(
        std::lround(chosen.pointSizeF() / 72.0 * logicalDpiY(request.owner)));
    result.color = colors::toStored(dialog.chosenColor());
    result.fontType = 0x2000 | (chosen.bold() ? 0x100u : 0u) | (chosen.italic() ? 0x200u : 0u);
    return result;
}

ColorResult QtChoosers::chooseColor(const ColorRequest &request)
{
    for (int i = 0; i < 16; ++i)
        QColorDialog::setCustomColor(
            i, colors::fromStored(static_cast<std::int32_t>(request.customColors[i])));
    // Without the start-from bit the dialog starts from white, as a fresh choice.
    const QColor start =
        (request.options & 0x1) ? colors::fromStored(request.color) : QColor(Qt::white);
    const QColor chosen = QColorDialog::getColor(start, windowHandles::windowOf(request.owner));
    ColorResult result;
    for (int i = 0; i < 16; ++i)
        result.customColors[i] =
            static_cast<std::uint32_t>(colors::toStored(QColorDialog::customColor(i)));
    if (!chosen.isValid())
        return result;
    result.confirmed = true;
    result.color = colors::toStored(chosen);
    return result;
}

namespace {

// The text of a buffer up to its first NUL.
QString upToNul(const QString &buffer)
{
    const qsizetype end = buffer.indexOf(QChar(u'\0'));
    return end < 0 ? buffer : buffer.left(end);
}

// A text followed by NULs up to size characters.
QString padded(const QString &text, std::int32_t size)
{
    return text + QString(std::max<qsizetype>(0, size - text.size()), QChar(u'\0'));
}

// The request's filter list, descriptions and patterns in turn, as the dialog's name filters:
// "Text files (*.txt)". Patterns separated by ";" are separated by spaces there.
QStringList nameFilters(const QString &filter)
{
    const QStringList parts = filter.split(QChar(u'\0'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty() && parts[i + 1].isEmpty())
            break;
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        filters << parts[i] + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return filters;
}

} // namespace

FileResult QtChoosers::chooseFile(const FileRequest &request)
{
    constexpr std::uint32_t kAllowMultiSelect = 0x200;
    constexpr std::uint32_t kOverwritePrompt = 0x2;
    QFileDialog dialog(windowHandles::windowOf(request.owner), request.title,
                       request.initialFolder);
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    if (request.save)
        dialog.setFileMode(QFileDialog::AnyFile);
    else
        dialog.setFileMode((request.options & kAllowMultiSelect) ? QFileDialog::ExistingFiles
                                                                 : QFileDialog::ExistingFile);
    if (request.save && !(request.options & kOverwritePrompt))
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    const QStringList filters = nameFilters(request.filter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        if (request.filterIndex >= 1 && request.filterIndex <= filters.size())
            dialog.selectNameFilter(filters[request.filterIndex - 1]);
    }
    dialog.setDefaultSuffix(request.defaultExt);
    if (const QString start = upToNul(request.file); !start.isEmpty())
        dialog.selectFile(start);

    FileResult result;
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return result;
    const QString path = QDir::toNativeSeparators(dialog.selectedFiles().front());
    // A path that does not fit the buffer with its NUL fails, as the chooser would report.
    if (path.size() >= request.fileSize)
        return result;
    result.confirmed = true;
    result.file = padded(path, request.fileSize);
    result.fileTitle =
        padded(QFileInfo(path).fileName().left(request.fileTitleSize - 1), request.fileTitleSize);
    return result;
}

PrintResult QtChoosers::choosePrinter(const PrintRequest &request)
{
    QPrinter printer(QPrinterInfo::printerInfo(printerRecords::deviceNameIn(request.devNames)));
    printer.setPageOrientation(printerRecords::orientation(request.devMode) == Printers::Landscape
                                   ? QPageLayout::Landscape
                                   : QPageLayout::Portrait);
    switch (printerRecords::duplex(request.devMode)) {
    case Printers::LongEdge:
        printer.setDuplex(QPrinter::DuplexLongSide);
        break;
    case Printers::ShortEdge:
        printer.setDuplex(QPrinter::DuplexShortSide);
        break;
    default:
        printer.setDuplex(QPrinter::DuplexNone);
        break;
    }
    QPrintDialog dialog(&printer, windowHandles::windowOf(request.owner));
    PrintResult result;
    if (dialog.exec() != QDialog::Accepted)
        return result;
    result.confirmed = true;
    const bool landscape = printer.pageLayout().orientation() == QPageLayout::Landscape;
    result.devMode = printerRecords::answered(
        request.devMode, printer.printerName(), static_cast<std::int16_t>(printer.copyCount()),
        static_cast<std::int16_t>(QtPrinters::duplexOf(printer.duplex())),
        static_cast<std::int16_t>(landscape ? Printers::Landscape : Printers::Portrait));
    return result;
}

bool QtChoosers::printDocument(const PrintSettings &settings,
                               const std::function<void(QPrinter &)> &paint)
{
    QPrinter printer(QPrinterInfo::printerInfo(settings.deviceName), QPrinter::HighResolution);
    printer.setDocName(settings.documentName);
    printer.setPageOrientation(settings.orientation == Printers::Landscape ? QPageLayout::Landscape
                                                                           : QPageLayout::Portrait);
    printer.setDuplex(settings.duplex == Printers::LongEdge    ? QPrinter::DuplexLongSide
                      : settings.duplex == Printers::ShortEdge ? QPrinter::DuplexShortSide
                                                               : QPrinter::DuplexNone);
    printer.setCopyCount(std::max(1, settings.copies));
    QPrintDialog dialog(&printer, windowHandles::windowOf(settings.owner));
    if (dialog.exec() != QDialog::Accepted)
        return false;
    paint(printer);
    return true;
}

double QtChoosers::logicalDpiY(std::int32_t owner)
{
    if (const QWidget *window = windowHandles::windowOf(owner))
        return window->logicalDpiY();
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInchY() : 96.0;
}

std::optional<QString> QtChoosers::realisedFace(const FontRecord &font)
{
    const QString face = font.face();
    if (face.isEmpty())
        return std::nullopt;
    QFont requested(face);
    requested.setBold(font.weight >= 600);
    requested.setItalic(font.italic != 0);
    return FontChooserDialog::plainFamily(QFontInfo(requested).family());
}

} // namespace quillet
