#pragma once

#include "platform/Choosers.h"
#include "platform/Platform.h"

#include <QString>

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

    // The desktop's dialogs. The help and shell dialogs come with the commands that use them.

    // Asks for a file to open, or a name to save under, starting in InitDir (else the
    // program's folder) with FileName, the Filter list and DialogTitle. On confirmation
    // FileTitle and then FileName take the chosen name and full path. Throws
    // std::invalid_argument for a FileName over 255 characters and std::overflow_error for a
    // Filter over 32,767, before anything opens.
    void ShowOpen();
    void ShowSave();
    // Asks for a colour, starting from RGBResult when flags asks for it (bit 0x1).
    void ShowColor();
    // Asks for a font, with its effects and colour, starting from the properties. Throws
    // std::out_of_range for a FontName longer than 32 bytes and std::overflow_error for a
    // FontSize whose tenths do not fit 32 bits, before anything opens.
    void ShowFont();
    // Shows the print dialog on the current printer; the chosen printer becomes current with
    // its copies, duplex and orientation. No printer: a "Printer Error" message, once.
    void ShowPrinter();

    // The request record the file dialogs were last given.
    const FileRequest &fileRequest() const { return m_fileRequest; }
    // The filter list as the file chooser takes it: every "|" a NUL, then two NULs.
    static QString convertedFilter(const QString &filter);

    // The parts of flags the dialogs take, and the font dialog's fixed options.
    static constexpr std::uint32_t kFileFlagsMask = 0xFFFFFF1F;
    static constexpr std::uint32_t kColorFlagsMask = 0xF;
    static constexpr std::uint32_t kFontOptions = 0x141;
    static constexpr std::uint32_t kPrinterFlagsMask = 0x1C0FFF;
    // The file dialogs' buffers, in characters.
    static constexpr std::int32_t kFileBufferSize = 255;

private:
    void cancelled() const;
    Choosers &choosers() const;
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
    std::int32_t m_lastResult = 0;
};

} // namespace quillet
