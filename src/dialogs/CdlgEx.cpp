#include "dialogs/CdlgEx.h"

#include "platform/MessageBoxes.h"
#include "platform/PrinterRecords.h"
#include "platform/Printers.h"
#include "platform/Shell.h"
#include "platform/WindowHandles.h"

#include <QCoreApplication>

#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace quillet {

CdlgEx::CdlgEx(const Platform &platform)
    : m_platform(platform)
{
}

Choosers &CdlgEx::choosers() const
{
    if (!m_platform.choosers)
        throw std::logic_error("No dialog of the desktop is available.");
    return *m_platform.choosers;
}

void CdlgEx::setAction(std::int32_t action)
{
    switch (action) {
    case 1:
        ShowOpen();
        break;
    case 2:
        ShowSave();
        break;
    case 3:
        ShowColor();
        break;
    case 4:
        ShowFont();
        break;
    case 5:
        ShowPrinter();
        break;
    case 6:
        ShowHelp();
        break;
    case 7:
        ShowAbout();
        break;
    case 8:
        ShowFolder();
        break;
    case 9:
        ShowFormat(0, 0, 0);
        break;
    case 10:
        ShowIcon();
        break;
    case 12:
        ShowRestart();
        break;
    case 13:
        ShowRun();
        break;
    case 14:
        ShowShutDown();
        break;
    default:
        // 0, 11, negative numbers and numbers past the table open nothing.
        break;
    }
}

std::int32_t CdlgEx::IconSize()
{
    if (m_iconSize != 16 && m_iconSize != 32)
        m_iconSize = 32;
    return m_iconSize;
}

void CdlgEx::setIconSize(std::int32_t value)
{
    m_iconSize = value == 16 ? 16 : 32;
}

void CdlgEx::cancelled() const
{
    if (m_cancelError)
        throw DialogCancelled();
}

void CdlgEx::ShowFont()
{
    FontRequest request;

    // The face name goes into a field of 33 bytes with its NUL: a longer name is an error
    // before anything opens.
    const QByteArray face = m_fontName.toUtf8();
    if (face.size() + 1 > static_cast<qsizetype>(request.font.faceName.size()))
        throw std::out_of_range("The font name \"" + m_fontName.toStdString() +
                                "\" is longer than 32 bytes.");
    std::memcpy(request.font.faceName.data(), face.constData(),
                static_cast<std::size_t>(face.size()));

    // The cell height in pixels for the size in points, halves to even.
    const double dpi = choosers().logicalDpiY(m_hOwner);
    request.font.height = static_cast<std::int32_t>(std::nearbyint(m_fontSize / 72.0 * dpi));
    request.font.italic = m_italic ? 1 : 0;
    request.font.underline = m_underline ? 1 : 0;
    request.font.strikeOut = m_strikeThru ? 1 : 0;
    if (m_bold)
        request.font.weight = 700;

    const std::int64_t tenths = std::int64_t{m_fontSize} * 10;
    if (tenths < std::numeric_limits<std::int32_t>::min() ||
        tenths > std::numeric_limits<std::int32_t>::max())
        throw std::overflow_error("The font size " + std::to_string(m_fontSize) + " is too large.");
    request.owner = m_hOwner;
    request.pointSize = static_cast<std::int32_t>(tenths);
    request.options = kFontOptions;
    request.color = m_rgbResult;
    request.fontType = 0x2000;

    const FontResult result = choosers().chooseFont(request);
    if (!result.confirmed) {
        cancelled();
        return;
    }
    m_italic = result.font.italic != 0;
    m_underline = result.font.underline != 0;
    m_strikeThru = result.font.strikeOut != 0;
    // Whole points, truncated: 10.5 points come back as 10.
    m_fontSize = result.pointSize / 10;
    m_rgbResult = result.color;
    m_bold = (result.fontType & 0x100) != 0;
    // The name of the font actually made; when none can be made, the old name stays.
    if (const std::optional<QString> realised = choosers().realisedFace(result.font))
        m_fontName = realised->left(79);
}

void CdlgEx::ShowColor(bool startFromResult)
{
    ColorRequest request;
    request.owner = m_hOwner;
    request.color = m_rgbResult;
    // Every call starts from 16 custom colours of 0xFFFFFFFF; what the user makes of them is
    // not kept.
    request.customColors.fill(0xFFFFFFFFu);
    request.options = static_cast<std::uint32_t>(m_flags) & kColorFlagsMask;
    if (startFromResult)
        request.options |= kColorStartFromResult;

    const ColorResult result = choosers().chooseColor(request);
    if (!result.confirmed) {
        cancelled();
        return;
    }
    m_rgbResult = result.color;
}

QString CdlgEx::convertedFilter(const QString &filter)
{
    // The length is a 16-bit count: a longer list cannot be walked.
    if (filter.size() > 32767)
        throw std::overflow_error("The file filter is longer than 32,767 characters.");
    QString converted = filter;
    converted.replace(QLatin1Char('|'), QChar(u'\0'));
    return converted + QString(2, QChar(u'\0'));
}

void CdlgEx::SetupFileDialog()
{
    FileRequest &request = m_fileRequest;
    request.owner = m_hOwner;
    request.options = static_cast<std::uint32_t>(m_flags) & kFileFlagsMask;
    request.defaultExt = m_defaultExt;
    request.initialFolder =
        m_initDir.isEmpty() ? QCoreApplication::applicationDirPath() : m_initDir;
    if (m_fileName.size() > kFileBufferSize)
        throw std::invalid_argument("The file name is longer than 255 characters.");
    request.file = m_fileName + QString(kFileBufferSize - m_fileName.size(), QChar(u'\0'));
    request.fileSize = kFileBufferSize;
    request.fileTitle = QString(kFileBufferSize, QChar(u'\0'));
    request.fileTitleSize = kFileBufferSize;
    request.filter = convertedFilter(m_filter);
    request.filterIndex = m_filterIndex;
    request.title = m_dialogTitle;
}

void CdlgEx::showFileDialog(bool save)
{
    SetupFileDialog();
    m_fileRequest.save = save;
    const FileResult result = choosers().chooseFile(m_fileRequest);
    if (!result.confirmed) {
        cancelled();
        return;
    }
    // Each result ends at its first NUL; a buffer without one leaves its property as it was.
    if (const qsizetype end = result.fileTitle.indexOf(QChar(u'\0')); end >= 0)
        m_fileTitle = result.fileTitle.left(end);
    if (const qsizetype end = result.file.indexOf(QChar(u'\0')); end >= 0)
        m_fileName = result.file.left(end);
}

void CdlgEx::ShowOpen()
{
    showFileDialog(false);
}

void CdlgEx::ShowSave()
{
    showFileDialog(true);
}

void CdlgEx::ShowPrinter()
{
    if (!m_platform.printers)
        throw std::logic_error("No printer registry is available.");
    Printers &printers = *m_platform.printers;
    PrintRequest request;
    request.options = static_cast<std::uint32_t>(m_flags) & kPrinterFlagsMask;
    request.owner = m_hOwner;
    request.displayContext = m_hOwner;

    // Without a current printer (none installed) the user is told why, once, and nothing
    // opens.
    try {
        const QString name = printers.deviceName();
        request.devMode =
            printerRecords::devMode(name, static_cast<std::int16_t>(printers.orientation()));
    } catch (const std::exception &error) {
        m_platform.messageBoxes.inform(
            windowHandles::windowOf(m_hOwner), QStringLiteral("Printer Error"),
            QString::fromUtf8(error.what()), MessageBoxes::Icon::Warning);
        return;
    }
    // A printer that cannot say its duplex mode leaves 0.
    try {
        printerRecords::setDuplex(request.devMode, static_cast<std::int16_t>(printers.duplex()));
    } catch (const std::exception &) {
    }
    request.devNames =
        printerRecords::devNames(printers.driverName().toUtf8(), printers.deviceName().toUtf8(),
                                 printers.portName().toUtf8());

    const PrintResult result = choosers().choosePrinter(request);
    if (!result.confirmed) {
        cancelled();
        return;
    }
    // The chosen printer, matched in upper case against every installed one: the last match
    // becomes current.
    const QString chosen = printerRecords::deviceName(result.devMode).toUpper();
    if (chosen != printers.deviceName()) {
        const QStringList installed = printers.installed();
        for (int index = 0; index < installed.size(); ++index)
            if (installed[index].toUpper() == chosen)
                printers.makeCurrent(index);
    }
    // In this order; a value the printer cannot take is skipped and the next still applies.
    const auto attempt = [](const auto &step) {
        try {
            step();
        } catch (const std::exception &) {
        }
    };
    attempt([&] { printers.setCopies(printerRecords::copies(result.devMode)); });
    attempt([&] { printers.setDuplex(printerRecords::duplex(result.devMode)); });
    attempt([&] { printers.setOrientation(printerRecords::orientation(result.devMode)); });
}

} // namespace quillet
