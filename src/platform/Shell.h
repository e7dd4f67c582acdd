#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace quillet {

// What the run dialog is asked.
struct RunRequest
{
    std::int32_t owner = 0;
    std::int32_t icon = 0; // a handle of IconHandles; 0 for none
    QString title;
    QString prompt;
    std::uint32_t options = 0; // 0x1 no browse button, 0x2 no default text, 0x4 start in the
                               // command's folder, 0x8 no prompt
};

// The icon picker: a path of an icon file or a folder of them, in a buffer of NULs, and the
// icon's index within it. The picker may change both.
struct IconPick
{
    QString path;
    std::int32_t index = 0;
};

// The icons taken out of an icon file: how many, and handles of IconHandles to the large and
// small image of the one asked for.
struct ExtractedIcons
{
    std::int32_t count = 0;
    std::int32_t large = 0;
    std::int32_t small = 0;
};

// What the folder chooser is asked.
struct FolderRequest
{
    std::int32_t owner = 0;
    QString root; // the folder the choice starts from and stays under
    QString title;
    std::uint32_t options = 0;
};

// The desktop's shell behind the dialog component's shell methods: what the desktop offers,
// or nothing where it has no equivalent. Tests pass a fake that records what was asked, so
// that nothing is shut down, run or formatted for real.
class Shell
{
public:
    virtual ~Shell() = default;

    // The session manager's own confirmation for shutting down, or for the kind of restart
    // given (0 log out, 1 shut down, 2 restart); nothing when no session manager runs.
    virtual void shutDown(std::int32_t owner) = 0;
    virtual void restart(std::int32_t owner, const QString &prompt, std::uint32_t kind) = 0;
    // A run dialog that starts the command line typed into it, without waiting for it.
    virtual void run(const RunRequest &request) = 0;
    // Formatting a drive: never done here. The result says why ("cannot be formatted").
    virtual std::int32_t format(std::int32_t owner, std::int32_t drive, std::int32_t capacity,
                                std::int32_t formatType) = 0;
    // Lets the user pick an icon; nothing when cancelled.
    virtual std::optional<IconPick> pickIcon(const IconPick &start) = 0;
    virtual ExtractedIcons extractIcon(const QString &path, std::int32_t index) = 0;
    virtual std::int32_t copyIcon(std::int32_t icon) = 0;
    virtual void destroyIcon(std::int32_t icon) = 0;
    // Lets the user choose a folder under the root; nothing when cancelled.
    virtual std::optional<QString> chooseFolder(const FolderRequest &request) = 0;
    // The properties of an object: kind 1 a printer, kind 2 a file or folder (name: its path).
    virtual void objectProperties(std::int32_t owner, std::int32_t kind, const QString &name,
                                  const QString &tab) = 0;
    // The desktop's settings panel for an applet kind (3 mouse, 4 regional settings, 5 sound,
    // 6 date and time, 7 network, 8 display, 9 internet); commandLine is the applet's command
    // line where the component was first made. Nothing when the desktop has no such panel.
    virtual void settingsPanel(std::int32_t kind, const QString &commandLine) = 0;
    // An about box with the application's name as its title, an extra line and an icon.
    virtual void about(std::int32_t owner, const QString &appName, const QString &extra,
                       std::int32_t icon) = 0;
    // The desktop's file search, when it has one.
    virtual void findFiles() = 0;
    // Opens a help file in the desktop's viewer for its type; the command and its data are
    // passed as they are. Never fails.
    virtual std::int32_t help(std::int32_t owner, const QString &file, std::int32_t command,
                              std::int32_t data) = 0;
};

} // namespace quillet
