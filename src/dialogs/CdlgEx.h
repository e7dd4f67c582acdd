#pragma once

#include "platform/Choosers.h"
#include "platform/Platform.h"

#include <QString>

#include <array>
#include <cstdint>
#include <exception>

namespace quillet {

// Raised by a chooser method that was cancelled while CancelError is true. It carries the
// error number 0 and nothing else.
class DialogCancelled : public std::exception
{
public:
    int number() const { return 0; }
    const char *what() const noexcept override { return "The dialog was cancelled."; }
};

// The dialog component: callers set properties, call one Show... method, and read the results
// back from the same properties. Every property starts at zero, false or empty text. Each
// method builds a request record for a chooser of the desktop and applies its answer.
class CdlgEx
{
public:
    // The choosers, the message boxes and the printers of the platform; a dialog whose service
    // the platform lacks throws std::logic_error.
    explicit CdlgEx(const Platform &platform);

    // Writing a number opens the dialog it stands for; numbers without a dialog do nothing.
    // An error of the dialog (the cancel error among them) passes out unchanged.
    void setAction(std::int32_t action);

    bool CancelError() const { return m_cancelError; }
    void setCancelError(bool value) { m_cancelError = value; }
    std::int32_t hOwner() const { return m_hOwner; }
    void sethOwner(std::int32_t value) { m_hOwner = value; }
    std::int32_t flags() const { return m_flags; }
    void setflags(std::int32_t value) { m_flags = value; }
    QString DialogTitle() const { return m_dialogTitle; }
    void setDialogTitle(const QString &value) { m_dialogTitle = value; }
    QString DialogPrompt() const { return m_dialogPrompt; }
    void setDialogPrompt(const QString &value) { m_dialogPrompt = value; }
    QString AppName() const { return m_appName; }
    void setAppName(const QString &value) { m_appName = value; }
    std::int32_t hIcon() const { return m_hIcon; }
    void sethIcon(std::int32_t value) { m_hIcon = value; }
    bool Bold() const { return m_bold; }
    void setBold(bool value) { m_bold = value; }
    QString FontName() const { return m_fontName; }
    void setFontName(const QString &value) { m_fontName = value; }
    std::int32_t FontSize() const { return m_fontSize; }
    void setFontSize(std::int32_t value) { m_fontSize = value; }
    bool Italic() const { return m_italic; }
    void setItalic(bool value) { m_italic = value; }
    bool StrikeThru() const { return m_strikeThru; }
    void setStrikeThru(bool value) { m_strikeThru = value; }
    bool Underline() const { return m_underline; }
    void setUnderline(bool value) { m_underline = value; }
    QString DefaultExt() const { return m_defaultExt; }
    void setDefaultExt(const QString &value) { m_defaultExt = value; }
    QString FileName() const { return m_fileName; }
    void setFileName(const QString &value) { m_fileName = value; }
    QString FileTitle() const { return m_fileTitle; }
    void setFileTitle(const QString &value) { m_fileTitle = value; }
    QString Filter() const { return m_filter; }
    void setFilter(const QString &value) { m_filter = value; }
    std::int32_t FilterIndex() const { return m_filterIndex; }
    void setFilterIndex(std::int32_t value) { m_filterIndex = value; }
    QString InitDir() const { return m_initDir; }
    void setInitDir(const QString &value) { m_initDir = value; }
    // The icon picker's size: 16 or 32. Any other value, also the 0 of a new instance, reads
    // and writes as 32.
    std::int32_t IconSize();
    void setIconSize(std::int32_t value);
    std::int32_t HelpCommand() const { return m_helpCommand; }
    void setHelpCommand(std::int32_t value) { m_helpCommand = value; }
    QString HelpFile() const { return m_helpFile; }
    void setHelpFile(const QString &value) { m_helpFile = value; }
    std::int32_t HelpKey() const { return m_helpKey; }
    void setHelpKey(std::int32_t value) { m_helpKey = value; }
    std::int32_t RGBResult() const { return m_rgbResult; }
    void setRGBResult(std::int32_t value) { m_rgbResult = value; }

    // The desktop's dialogs, in the component's order. The shell's work through the platform's
    // shell and do nothing without one.

    // The session manager's own confirmation of shutting down, or of the restart kind that
    // flags AND 7 gives, with DialogPrompt.
    void ShowShutDown();
    void ShowRestart();
    // The run dialog: DialogTitle, DialogPrompt, the hIcon icon, options (flags AND 0xF0) / 16.
    void ShowRun();
    // Nothing is ever formatted: the result says the drive cannot be (0xFFFFFFFD).
    std::int32_t ShowFormat(std::int32_t iDrive, std::int32_t iCapacity, std::int32_t iFormatType);
    // An icon picker over the icon files of FileName; the chosen icon, large when the stored
    // IconSize is 32 and small otherwise, becomes hIcon. FileName is the same afterwards; one
    // ending in the path separator opens nothing; one over 260 characters is
    // std::invalid_argument.
    void ShowIcon();
    // A folder chooser under InitDir, titled DialogPrompt; the chosen folder goes to InitDir.
    // Returns empty text.
    QString ShowFolder();
    // The properties of an object, or a settings panel, as the kind (flags AND 0xF00) / 256
    // says (kObjectKinds).
    void ShowObjectProp(const QString &sObjectName, const QString &sTab);
    // An about box: AppName (one NUL character when empty) as title, DialogPrompt, hIcon.
    void ShowAbout();
    // Asks for a file to open, or a name to save under, starting in InitDir (else the
    // program's folder) with FileName, the Filter list and DialogTitle. On confirmation
    // FileTitle and then FileName take the chosen name and full path. Throws
    // std::invalid_argument for a FileName over 255 characters and std::overflow_error for a
    // Filter over 32,767, before anything opens.
    void ShowOpen();
    void ShowSave();
    // Opens HelpFile in the desktop's viewer with HelpCommand and HelpKey as they are; never
    // raises.
    void ShowHelp();
    // Asks for a colour, starting from RGBResult when flags asks for it (bit 0x1), or when the
    // caller does (startFromResult): that start goes in this request only, and flags, which
    // the file dialogs read too, stay as they are.
    void ShowColor(bool startFromResult = false);
    // Asks for a font, with its effects and colour, starting from the properties. Throws
    // std::out_of_range for a FontName longer than 32 bytes and std::overflow_error for a
    // FontSize whose tenths do not fit 32 bits, before anything opens.
    void ShowFont();
    // Shows the print dialog on the current printer; the chosen printer becomes current with
    // its copies, duplex and orientation. No printer: a "Printer Error" message, once.
    void ShowPrinter();
    // The desktop's file search.
    void ShowFindFiles();

    // What ShowObjectProp does for each kind: the object-properties dialog for kind 1 or 2
    // (a printer, a file), or a settings panel with the command line that opened it where the
    // component was first made. Kinds 0 and 10 to 15 show a file's properties with no name.
    struct ObjectKind
    {
        std::int32_t propertiesKind; // 1, 2, or 0 for a settings panel
        bool usesName;
        const char *commandLine;
    };
    static const std::array<ObjectKind, 16> kObjectKinds;

    // The filter list as the file chooser takes it: every "|" a NUL, then two NULs.
    static QString convertedFilter(const QString &filter);

    // The parts of flags the dialogs take, and the font dialog's fixed options.
    static constexpr std::uint32_t kFileFlagsMask = 0xFFFFFF1F;
    static constexpr std::uint32_t kColorFlagsMask = 0xF;
    // The colour request's option that starts the chooser from the colour it carries.
    static constexpr std::uint32_t kColorStartFromResult = 0x1;
    static constexpr std::uint32_t kFontOptions = 0x141;
    static constexpr std::uint32_t kPrinterFlagsMask = 0x1C0FFF;
    static constexpr std::uint32_t kRestartFlagsMask = 7;
    static constexpr std::uint32_t kRunFlagsMask = 0xF0;
    static constexpr std::uint32_t kObjectFlagsMask = 0xF00;
    static constexpr std::uint32_t kFolderFlagsMask = 0x7001;
    // The icon picker's path buffer, in characters.
    static constexpr std::int32_t kIconPathSize = 260;

    // The option fields of flags, each as its dialog takes it.
    static std::uint32_t runOptions(std::int32_t flags);
    static std::int32_t objectKind(std::int32_t flags);
    static std::uint32_t folderOptions(std::int32_t flags);
    // The file dialogs' buffers, in characters.
    static constexpr std::int32_t kFileBufferSize = 255;

private:
    void cancelled() const;
    Choosers &choosers() const;
    Shell *shell() const { return m_platform.shell; }
    void SetupFileDialog();
    void showFileDialog(bool save);

    Platform m_platform;
    FileRequest m_fileRequest;
    bool m_cancelError = false;
    std::int32_t m_hOwner = 0;
    std::int32_t m_flags = 0;
    QString m_dialogTitle;
    QString m_dialogPrompt;
    QString m_appName;
    std::int32_t m_hIcon = 0;
    bool m_bold = false;
    QString m_fontName;
    std::int32_t m_fontSize = 0;
    bool m_italic = false;
    bool m_strikeThru = false;
    bool m_underline = false;
    QString m_defaultExt;
    QString m_fileName;
    QString m_fileTitle;
    QString m_filter;
    std::int32_t m_filterIndex = 0;
    QString m_initDir;
    std::int32_t m_iconSize = 0;
    std::int32_t m_helpCommand = 0;
    QString m_helpFile;
    std::int32_t m_helpKey = 0;
    std::int32_t m_rgbResult = 0;
    // The 32-bit result of the last dialog call: zero when it was cancelled.
};

} // namespace quillet
