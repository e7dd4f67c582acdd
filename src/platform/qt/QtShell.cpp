#include "platform/qt/QtShell.h"

#include "platform/IconHandles.h"
#include "platform/MessageBoxes.h"
#include "platform/ProcessStarter.h"
#include "platform/WindowHandles.h"
#include "platform/qt/IconPickerDialog.h"
#include "platform/qt/RunDialog.h"

#include <QDateTime>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QImageReader>
#include <QLocale>
#include <QMessageBox>
#include <QPrinterInfo>
#include <QUrl>

#include <map>

namespace quillet {

namespace {

// The session managers whose own prompts are asked for, by the desktop that names them in
// XDG_CURRENT_DESKTOP: the program and its arguments for logging out (kind 0), shutting down
// (1) and restarting (2). Each prompt asks the user; nothing ends without that.
struct SessionManager
{
    const char *desktop;
    QStringList logOut, shutDown, restart;
};

const SessionManager kSessionManagers[] = {
    {"GNOME",
     {"gnome-session-quit", "--logout"},
     {"gnome-session-quit", "--power-off"},
     {"gnome-session-quit", "--reboot"}},
    {"KDE",
     {"qdbus", "org.kde.LogoutPrompt", "/LogoutPrompt", "promptLogout"},
     {"qdbus", "org.kde.LogoutPrompt", "/LogoutPrompt", "promptShutDown"},
     {"qdbus", "org.kde.LogoutPrompt", "/LogoutPrompt", "promptReboot"}},
    {"XFCE", {"xfce4-session-logout"}, {"xfce4-session-logout"}, {"xfce4-session-logout"}},
    {"MATE",
     {"mate-session-save", "--logout-dialog"},
     {"mate-session-save", "--shutdown-dialog"},
     {"mate-session-save", "--shutdown-dialog"}},
};

void askSessionManager(int kind)
{
    const QString desktops = qEnvironmentVariable("XDG_CURRENT_DESKTOP").toUpper();
    for (const SessionManager &manager : kSessionManagers) {
        if (!desktops.contains(QLatin1String(manager.desktop)))
            continue;
        processes::startFirstInstalled({kind == 2   ? manager.restart
                                        : kind == 1 ? manager.shutDown
                                                    : manager.logOut});
        return;
    }
}

// This desktop's settings panels for the applet kinds 3 to 9, the first installed one taken.
const std::map<int, std::vector<QStringList>> kSettingsPanels = {
    {3,
     {{"gnome-control-center", "mouse"},
      {"systemsettings", "kcm_mouse"},
      {"xfce4-mouse-settings"},
      {"mate-mouse-properties"},
      {"lxinput"}}},
    {4,
     {{"gnome-control-center", "region"},
      {"systemsettings", "kcm_regionandlang"},
      {"mate-keyboard-properties"}}},
    {5,
     {{"gnome-control-center", "sound"},
      {"systemsettings", "kcm_pulseaudio"},
      {"pavucontrol"},
      {"mate-volume-control"}}},
    {6, {{"gnome-control-center", "datetime"}, {"systemsettings", "kcm_clock"}, {"time-admin"}}},
    {7,
     {{"gnome-control-center", "network"},
      {"systemsettings", "kcm_networkmanagement"},
      {"nm-connection-editor"}}},
    {8,
     {{"gnome-control-center", "display"},
      {"systemsettings", "kcm_kscreen"},
      {"xfce4-display-settings"},
      {"mate-display-properties"},
      {"arandr"}}},
    {9,
     {{"gnome-control-center", "network"},
      {"systemsettings", "kcm_proxy"},
      {"nm-connection-editor"}}},
};

QString permissionsOf(const QFileInfo &file)
{
    const QFile::Permissions p = file.permissions();
    const auto bit = [&](QFile::Permission permission, char letter) {
        return p.testFlag(permission) ? QLatin1Char(letter) : QLatin1Char('-');
    };
    return QString() + bit(QFile::ReadOwner, 'r') + bit(QFile::WriteOwner, 'w') +
           bit(QFile::ExeOwner, 'x') + bit(QFile::ReadGroup, 'r') + bit(QFile::WriteGroup, 'w') +
           bit(QFile::ExeGroup, 'x') + bit(QFile::ReadOther, 'r') + bit(QFile::WriteOther, 'w') +
           bit(QFile::ExeOther, 'x');
}

QString fileProperties(const QString &path)
{
    if (path.isEmpty())
        return QObject::tr("No file or folder was named.");
    const QFileInfo file(path);
    if (!file.exists())
        return QObject::tr("%1\n\nThere is no such file or folder.").arg(path);
    const QLocale locale;
    const auto when = [&](const QDateTime &time) {
        return time.isValid() ? locale.toString(time, QLocale::LongFormat)
                              : QObject::tr("not known");
    };
    return QObject::tr("%1\n\nKind: %2\nSize: %3\nCreated: %4\nModified: %5\nRead: %6\n"
                       "Owner: %7\nPermissions: %8")
        .arg(file.absoluteFilePath(), file.isDir() ? QObject::tr("folder") : QObject::tr("file"),
             file.isDir() ? QObject::tr("-") : locale.formattedDataSize(file.size()),
             when(file.birthTime()), when(file.lastModified()), when(file.lastRead()), file.owner(),
             permissionsOf(file));
}

QString printerProperties(const QString &name)
{
    const QPrinterInfo printer = QPrinterInfo::printerInfo(name);
    if (printer.isNull())
        return QObject::tr("There is no printer named \"%1\".").arg(name);
    const bool twoSided = printer.supportedDuplexModes().size() > 1;
    return QObject::tr("%1\n\nMake and model: %2\nLocation: %3\nDescription: %4\n"
                       "Default printer: %5\nPrints on both sides: %6")
        .arg(printer.printerName(), printer.makeAndModel(), printer.location(),
             printer.description(), printer.isDefault() ? QObject::tr("yes") : QObject::tr("no"),
             twoSided ? QObject::tr("yes") : QObject::tr("no"));
}

} // namespace

QtShell::QtShell(MessageBoxes &boxes)
    : m_boxes(boxes)
{
}

void QtShell::shutDown(std::int32_t)
{
    askSessionManager(1);
}

void QtShell::restart(std::int32_t, const QString &, std::uint32_t kind)
{
    // The session manager's prompt has its own words; the kind's bits choose which prompt.
    askSessionManager((kind & 2) ? 2 : (kind & 1) ? 1 : 0);
}

void QtShell::run(const RunRequest &request)
{
    RunDialog dialog(iconHandles::iconOf(request.icon), request.title, request.prompt,
                     request.options, windowHandles::windowOf(request.owner));
    if (dialog.exec() != QDialog::Accepted || dialog.commandLine().isEmpty())
        return;
    const QString failure = processes::startDetached(dialog.commandLine(), dialog.folder());
    if (!failure.isEmpty())
        m_boxes.inform(windowHandles::windowOf(request.owner), QObject::tr("Run"), failure,
                       MessageBoxes::Icon::Warning);
}

std::int32_t QtShell::format(std::int32_t, std::int32_t, std::int32_t, std::int32_t)
{
    // Formatting a drive is never done here: "this drive cannot be formatted".
    return -3;
}

std::optional<IconPick> QtShell::pickIcon(const IconPick &start)
{
    const qsizetype end = start.path.indexOf(QChar(u'\0'));
    const QString path = end < 0 ? start.path : start.path.left(end);
    IconPickerDialog dialog(path, start.index);
    if (dialog.isEmpty()) {
        m_boxes.inform(nullptr, QObject::tr("Change Icon"),
                       QObject::tr("%1 holds no icons.").arg(path), MessageBoxes::Icon::Warning);
        return std::nullopt;
    }
    if (dialog.exec() != QDialog::Accepted || dialog.chosenFile().isEmpty())
        return std::nullopt;
    const QString chosen = dialog.chosenFile();
    return IconPick{
        chosen + QString(std::max<qsizetype>(0, start.path.size() - chosen.size()), QChar(u'\0')),
        dialog.chosenIndex()};
}

ExtractedIcons QtShell::extractIcon(const QString &path, std::int32_t index)
{
    QImageReader reader(path);
    if (index > 0 && !reader.jumpToImage(index))
        return {};
    const QImage image = reader.read();
    if (image.isNull())
        return {};
    const QPixmap picture = QPixmap::fromImage(image);
    const auto sized = [&](int side) {
        return QIcon(picture.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    };
    return {std::max(1, reader.imageCount()), iconHandles::add(sized(32)),
            iconHandles::add(sized(16))};
}

std::int32_t QtShell::copyIcon(std::int32_t icon)
{
    return iconHandles::add(iconHandles::iconOf(icon));
}

void QtShell::destroyIcon(std::int32_t icon)
{
    iconHandles::remove(icon);
}

std::optional<QString> QtShell::chooseFolder(const FolderRequest &request)
{
    constexpr std::uint32_t kIncludeFiles = 0x4000;
    QFileDialog dialog(windowHandles::windowOf(request.owner), request.title, request.root);
    dialog.setFileMode((request.options & kIncludeFiles) ? QFileDialog::AnyFile
                                                         : QFileDialog::Directory);
    if (!(request.options & kIncludeFiles))
        dialog.setOption(QFileDialog::ShowDirsOnly);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().front();
}

void QtShell::objectProperties(std::int32_t owner, std::int32_t kind, const QString &name,
                               const QString &)
{
    // One page of properties: the tab asked for is the only one there is.
    m_boxes.inform(windowHandles::windowOf(owner), QObject::tr("Properties"),
                   kind == 1 ? printerProperties(name) : fileProperties(name),
                   MessageBoxes::Icon::Information);
}

void QtShell::settingsPanel(std::int32_t kind, const QString &)
{
    if (const auto panels = kSettingsPanels.find(kind); panels != kSettingsPanels.end())
        processes::startFirstInstalled(panels->second);
}

void QtShell::about(std::int32_t owner, const QString &appName, const QString &extra,
                    std::int32_t icon)
{
    QString name = appName;
    name.remove(QChar(u'\0'));
    QMessageBox box(windowHandles::windowOf(owner));
    box.setWindowTitle(QObject::tr("About %1").arg(name));
    box.setText(QStringLiteral("<b>%1</b>").arg(name.toHtmlEscaped()));
    box.setInformativeText(extra);
    const QIcon picture = iconHandles::iconOf(icon);
    if (!picture.isNull())
        box.setIconPixmap(picture.pixmap(32, 32));
    box.exec();
}

void QtShell::findFiles()
{
    processes::startFirstInstalled(
        {{"catfish"}, {"gnome-search-tool"}, {"kfind"}, {"searchmonkey"}, {"mate-search-tool"}});
}

std::int32_t QtShell::help(std::int32_t, const QString &file, std::int32_t, std::int32_t)
{
    // The desktop's viewer for the file's type takes no command: a failure is silent.
    if (file.isEmpty())
        return 0;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(file)) ? 1 : 0;
}

} // namespace quillet
