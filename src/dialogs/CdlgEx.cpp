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
    m_lastResult = result.confirmed ? 1 : 0;
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

void CdlgEx::ShowColor()
{
    ColorRequest request;
    request.owner = m_hOwner;
    request.color = m_rgbResult;
    // Every call starts from 16 custom colours of 0xFFFFFFFF; what the user makes of them is
    // not kept.
    request.customColors.fill(0xFFFFFFFFu);
    request.options = static_cast<std::uint32_t>(m_flags) & kColorFlagsMask;

    const ColorResult result = choosers().chooseColor(request);
    m_lastResult = result.confirmed ? 1 : 0;
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
    m_lastResult = result.confirmed ? 1 : 0;
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
    m_lastResult = result.confirmed ? 1 : 0;
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

const std::array<CdlgEx::ObjectKind, 16> CdlgEx::kObjectKinds = {{
    {2, false, nullptr},
    {1, true, nullptr},
    {2, true, nullptr},
    {0, false, "rundll32.exe shell32.dll,Control_RunDLL main.cpl,,0"},
    {0, false, "rundll32.exe shell32.dll,Control_RunDLL intl.cpl,,0"},
    {0, false, "rundll32.exe shell32.dll,Control_RunDLL mmsys.cpl,,0"},
    {0, false, "rundll32.exe shell32.dll,Control_RunDLL timedate.cpl,,0"},
    {0, false, "rundll32.exe shell32.dll,Control_RunDLL netcpl.cpl,,0"},
    {0, false, "rundll32.exe shell32.dll,Control_RunDLL desk.cpl,,0"},
    {0, false, "rundll32.exe shell32.dll,Control_RunDLL inetcpl.cpl,,0"},
    {2, false, nullptr},
    {2, false, nullptr},
    {2, false, nullptr},
    {2, false, nullptr},
    {2, false, nullptr},
    {2, false, nullptr},
}};

std::uint32_t CdlgEx::runOptions(std::int32_t flags)
{
    return (static_cast<std::uint32_t>(flags) & kRunFlagsMask) / 16;
}

std::int32_t CdlgEx::objectKind(std::int32_t flags)
{
    return static_cast<std::int32_t>((static_cast<std::uint32_t>(flags) & kObjectFlagsMask) / 256);
}

std::uint32_t CdlgEx::folderOptions(std::int32_t flags)
{
    // At least one of the computer, printer or include-files bits: the caller's own choice;
    // otherwise file-system folders only.
    const std::uint32_t options = static_cast<std::uint32_t>(flags) & kFolderFlagsMask;
    return options >= 0x1000 ? options : 1;
}

void CdlgEx::ShowShutDown()
{
    if (Shell *desktop = shell())
        desktop->shutDown(m_hOwner);
}

void CdlgEx::ShowRestart()
{
    if (Shell *desktop = shell())
        desktop->restart(m_hOwner, m_dialogPrompt,
                         static_cast<std::uint32_t>(m_flags) & kRestartFlagsMask);
}

void CdlgEx::ShowRun()
{
    if (Shell *desktop = shell())
        desktop->run(
            RunRequest{m_hOwner, m_hIcon, m_dialogTitle, m_dialogPrompt, runOptions(m_flags)});
}

std::int32_t CdlgEx::ShowFormat(std::int32_t iDrive, std::int32_t iCapacity,
                                std::int32_t iFormatType)
{
    // The value that says the drive cannot be formatted, also where no shell answers.
    constexpr std::int32_t kCannotFormat = -3;
    Shell *desktop = shell();
    m_lastResult =
        desktop ? desktop->format(m_hOwner, iDrive, iCapacity, iFormatType) : kCannotFormat;
    return m_lastResult;
}

void CdlgEx::ShowIcon()
{
    if (m_fileName.endsWith(QLatin1Char('/')) || m_fileName.endsWith(QLatin1Char('\\')))
        return;
    if (m_fileName.size() > kIconPathSize)
        throw std::invalid_argument("The icon file's name is longer than 260 characters.");
    Shell *desktop = shell();
    if (!desktop)
        return;
    // The path chosen in the picker is not given back: FileName stays as it is.
    const QString path = m_fileName + QString(kIconPathSize - m_fileName.size(), QChar(u'\0'));
    const std::optional<IconPick> picked = desktop->pickIcon(IconPick{path, 0});
    if (!picked)
        return;
    const qsizetype end = picked->path.indexOf(QChar(u'\0'));
    const ExtractedIcons icons =
        desktop->extractIcon(end < 0 ? picked->path : picked->path.left(end), picked->index);
    if (icons.count <= 0)
        return;
    // The stored size, as it is: a new instance's 0 takes the small image.
    m_hIcon = desktop->copyIcon(m_iconSize == 32 ? icons.large : icons.small);
    desktop->destroyIcon(icons.large);
    desktop->destroyIcon(icons.small);
}

QString CdlgEx::ShowFolder()
{
    if (Shell *desktop = shell()) {
        const std::optional<QString> chosen = desktop->chooseFolder(
            FolderRequest{m_hOwner, m_initDir, m_dialogPrompt, folderOptions(m_flags)});
        if (chosen)
            setInitDir(chosen->left(kIconPathSize - 1));
    }
    return {};
}

void CdlgEx::ShowObjectProp(const QString &sObjectName, const QString &sTab)
{
    Shell *desktop = shell();
    if (!desktop)
        return;
    const std::int32_t kind = objectKind(m_flags);
    const ObjectKind &what = kObjectKinds[static_cast<std::size_t>(kind)];
    if (what.commandLine)
        desktop->settingsPanel(kind, QString::fromLatin1(what.commandLine));
    else
        desktop->objectProperties(m_hOwner, what.propertiesKind,
                                  what.usesName ? sObjectName : QString(), sTab);
}

void CdlgEx::ShowAbout()
{
    if (m_appName.isEmpty())
        m_appName = QString(1, QChar(u'\0'));
    if (Shell *desktop = shell())
        desktop->about(m_hOwner, m_appName, m_dialogPrompt, m_hIcon);
}

void CdlgEx::ShowHelp()
{
    // A failure of the viewer is silent: the result is kept and not tested.
    if (Shell *desktop = shell())
        m_lastResult = desktop->help(m_hOwner, m_helpFile, m_helpCommand, m_helpKey);
}

void CdlgEx::ShowFindFiles()
{
    if (Shell *desktop = shell())
        desktop->findFiles();
}

} // namespace quillet
