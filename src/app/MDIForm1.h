#pragma once

#include "notes/UnsavedText.h"
#include "packaging/BuildInfo.h"
#include "platform/Platform.h"

#include <QMainWindow>

#include <optional>
#include <string>
#include <vector>

class QMdiArea;
class QMdiSubWindow;

namespace quillet {

class DamageCheckAndBackup;
class Form3;
class NotesSession;
struct SkippedRow;
struct WindowGeometry;

// The main window: a multiple-document frame whose client area holds the notes window.
class MDIForm1 : public QMainWindow
{
    Q_OBJECT

public:
    // The version is the project's one version, which the package is named by too.
    static inline const QString kCaption =
        QStringLiteral("Quillet - Version ") + QString::fromLatin1(build::kVersion);
    // Below this outer size, in twips, a stored window opens at its design size instead.
    static constexpr int kMinimumWidth = 6000;
    static constexpr int kMinimumHeight = 4000;

    // toolPath: quillet-db, which messages name for finding every problem in the file.
    // The session names the notes database the window opens.
    MDIForm1(Platform &platform, NotesSession &session, QString toolPath,
             QWidget *parent = nullptr);
    ~MDIForm1() override;

    // Loads the notes window (database and outline), then the settings, applies the stored
    // geometry and hands the stored selection to the notes window. Throws NotesUnavailable
    // when the database cannot serve; other failures are reported and start-up goes on.
    void MDIForm_Load();

    Form3 *form3() const { return m_form3; }

    // Checks the database file for damage without holding up the window; damage is reported
    // with the file and the tool that lists every problem. A sound file then gets its daily
    // verified backup in backups/ beside it, in the same background work.
    void startDamageCheckAndBackup();

    // The window's outer position and size, frame included, in twips, as the settings keep
    // them: applied at start-up, fitted to the screens, and stored with the workspace.
    void applyGeometry(int left, int top, int width, int height);
    WindowGeometry workspaceGeometry() const;

    // The closing path, in this order: the editor's text is saved through the auto-save box
    // (what could not be stored, and where it went, comes back), then the notes window stores
    // the workspace. It never cancels the close.
    std::optional<NoteKeptAside> MDIForm_QueryUnload();
    void Form_Unload();
    // The door: stores the workspace, then ends the program at once. noteFailure is what of
    // the note could not be stored, said before the program ends.
    void storeAndQuit(const QString &noteFailure);

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void MDIForm_Resize();
    QMargins frameMargins() const;
    // Sizes the window so that its outer size, frame included, is m_outerSize.
    void fitOuterSize();

    Platform &m_platform;
    NotesSession &m_session;
    QString m_toolPath;
    QSize m_outerSize;  // the stored outer size, until the window's frame is known
    QSize m_designSize; // the inside size that shows the notes window whole
    QMdiArea *m_area = nullptr;
    QMdiSubWindow *m_child = nullptr;
    Form3 *m_form3 = nullptr;
    DamageCheckAndBackup *m_checkAndBackup = nullptr;
};

} // namespace quillet
