#include "dialogs/CdlgEx.h"
#include "platform/Shell.h"

#include <stdexcept>

// The dialog component's shell dialogs and help, through the platform's shell: each does
// nothing where the platform has none.

namespace quillet {

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
    return desktop ? desktop->format(m_hOwner, iDrive, iCapacity, iFormatType) : kCannotFormat;
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
    // A failure of the viewer is silent: its result is not tested.
    if (Shell *desktop = shell())
        desktop->help(m_hOwner, m_helpFile, m_helpCommand, m_helpKey);
}

void CdlgEx::ShowFindFiles()
{
    if (Shell *desktop = shell())
        desktop->findFiles();
}

} // namespace quillet
