#include "app/MDIForm1.h"

#include "app/DamageCheckAndBackup.h"
#include "app/Layout.h"
#include "app/StartupMessages.h"
#include "notes/Form3.h"
#include "platform/Guard.h"
#include "platform/MessageBoxes.h"
#include "platform/Screens.h"
#include "platform/Twips.h"
#include "platform/WindowFrames.h"
#include "session/NotesSession.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>
#include <QStatusBar>

#include <cmath>

namespace quillet {

MDIForm1::MDIForm1(Platform &platform, NotesSession &session, QString toolPath, QWidget *parent)
    : QMainWindow(parent)
    , m_platform(platform)
    , m_session(session)
    , m_toolPath(std::move(toolPath))
{
    setObjectName(QStringLiteral("MDIForm1"));
    setWindowTitle(kCaption);

    m_area = new QMdiArea(this);
    m_area->setObjectName(QStringLiteral("MDIClient"));
    m_area->setBackground(QColor(0x40, 0x40, 0x40));
    m_area->setFrameShape(QFrame::NoFrame);
    m_area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setCentralWidget(m_area);
    m_area->viewport()->installEventFilter(this);

    m_form3 = new Form3(m_platform, m_session);
    m_child = m_area->addSubWindow(m_form3, Qt::FramelessWindowHint);
    m_child->setObjectName(QStringLiteral("Form3Window"));
    m_child->resize(m_form3->size());
    m_child->move(0, 0);

    // The status line says briefly what a key could not do; made now, so that the notes window
    // keeps its place below the menu and above it from the start.
    statusBar()->setObjectName(QStringLiteral("statusLine"));
    resize(m_child->size());
    m_designSize = size();
    connect(m_form3, &Form3::storeAndQuitRequested, this, &MDIForm1::storeAndQuit);
    // A few seconds in the status line: long enough to read, gone before it is in the way.
    constexpr int kSaidForMs = 6000;
    connect(m_form3, &Form3::saidBriefly, this,
            [this](const QString &text) { statusBar()->showMessage(text, kSaidForMs); });
}

MDIForm1::~MDIForm1()
{
    // The background check or backup stops first: its connection must be gone before the
    // store lets go of the file's lock, since closing that descriptor would drop the engine's
    // locks of every connection to the file in this process.
    delete m_checkAndBackup;
    m_checkAndBackup = nullptr;
    // MDIForm_Terminate: closing the connection is the last database operation.
    m_session.close();
}

void MDIForm1::MDIForm_Load()
{
    // The notes window loads first: it opens the database and builds the outline. Its load is
    // a handler of its own: rows that cannot join the outline are left out and said once, and
    // start-up goes on. Only a database that cannot serve at all ends start-up.
    m_child->show();
    try {
        m_form3->Form_Load();
    } catch (const NotesUnavailable &) {
        throw;
    } catch (const std::exception &error) {
        reportUnhandled(m_platform.messageBoxes, this, QString::fromUtf8(error.what()));
    }
    const QString file = QString::fromStdString(m_session.path());
    if (!m_form3->skippedRows().empty())
        m_platform.messageBoxes.inform(
            this, QStringLiteral("Quillet"),
            startupMessages::rowsLeftOut(file, m_form3->skippedRows(), m_toolPath),
            MessageBoxes::Icon::Warning);
    if (m_session.isOpen() && !m_form3->hasItems())
        m_platform.messageBoxes.inform(this, QStringLiteral("Quillet"),
                                       startupMessages::emptyOutline(file, m_toolPath),
                                       MessageBoxes::Icon::Warning);
    if (m_session.isReadOnly())
        m_platform.messageBoxes.inform(this, QStringLiteral("Quillet"),
                                       startupMessages::readOnly(file),
                                       MessageBoxes::Icon::Warning);

    guarded(m_platform.messageBoxes, this, [&] {
        if (!m_session.isOpen())
            return;
        m_session.loadSettings();
        const WindowGeometry stored = m_session.storedGeometry();
        applyGeometry(stored.left, stored.top, stored.width, stored.height);
        m_form3->restoreSelection(m_session.storedSelection());
    });
}

void MDIForm1::startDamageCheckAndBackup()
{
    if (m_checkAndBackup)
        return;
    // A file that cannot change needs no new backup, and its folder may take no files.
    m_checkAndBackup = new DamageCheckAndBackup(
        m_session.upkeep(m_session.isOpen() && !m_session.isReadOnly()), this);
    const QString file = QString::fromStdString(m_session.path());
    connect(m_checkAndBackup, &DamageCheckAndBackup::finished, this,
            [this, file](const QString &problem) {
                if (!problem.isEmpty())
                    m_platform.messageBoxes.inform(
                        this, QStringLiteral("Quillet"),
                        startupMessages::damaged(file, problem, m_toolPath),
                        MessageBoxes::Icon::Critical);
            });
    connect(m_checkAndBackup, &DamageCheckAndBackup::backupFailed, this,
            [this, file](const QString &problem) {
                m_platform.messageBoxes.inform(
                    this, QStringLiteral("Quillet"),
                    startupMessages::backupFailed(file, problem, m_toolPath),
                    MessageBoxes::Icon::Warning);
            });
    m_checkAndBackup->start();
}

void MDIForm1::applyGeometry(int left, int top, int width, int height)
{
    // The stored rectangle is the outer one, the position the frame's, as the toolkit places
    // a window; it is fitted to the screens there are now. The window's own size before this is
    // the design size, which shows the notes window whole.
    const QRect stored(twips::toPixelsX(left), twips::toPixelsY(top),
                       width > 0 ? twips::toPixelsX(width) : 0,
                       height > 0 ? twips::toPixelsY(height) : 0);
    // A window goes where windows may go: not under the desktop's panels and docks.
    QList<QRect> screens;
    for (const ScreenArea &area :
         m_platform.screens ? m_platform.screens->areas() : desktopScreens())
        screens << area.available;
    const QRect fitted =
        fitWindow(stored, QSize(twips::toPixelsX(kMinimumWidth), twips::toPixelsY(kMinimumHeight)),
                  m_designSize.grownBy(frameMargins()), screens);
    move(fitted.topLeft());
    m_outerSize = fitted.size();
    fitOuterSize();
}

QMargins MDIForm1::frameMargins() const
{
    return m_platform.frames ? m_platform.frames->margins(*this) : QMargins();
}

void MDIForm1::fitOuterSize()
{
    // The stored size is the outer one: the inside is that less the frame. A desktop draws the
    // frame once the window is shown; until then the frame is not known, and the size is fitted
    // again when it is.
    const QMargins frame = frameMargins();
    resize(std::max(1, m_outerSize.width() - frame.left() - frame.right()),
           std::max(1, m_outerSize.height() - frame.top() - frame.bottom()));
    if (!frame.isNull())
        m_outerSize = QSize();
}

void MDIForm1::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_outerSize.isValid() && !frameMargins().isNull())
        fitOuterSize();
}

void MDIForm1::moveEvent(QMoveEvent *event)
{
    QMainWindow::moveEvent(event);
    // The desktop places the frame around a window shortly after showing it, which moves it.
    if (m_outerSize.isValid() && !frameMargins().isNull())
        fitOuterSize();
}

WindowGeometry MDIForm1::workspaceGeometry() const
{
    // The outer position and size, in twips, to the nearest whole twip with halves to even.
    const auto whole = [](double value) {
        return static_cast<std::int32_t>(std::nearbyint(value));
    };
    const QSize outer = size().grownBy(frameMargins());
    return {whole(twips::fromPixelsX(pos().x())), whole(twips::fromPixelsY(pos().y())),
            whole(twips::fromPixelsX(outer.width())), whole(twips::fromPixelsY(outer.height()))};
}

void MDIForm1::storeAndQuit(const QString &noteFailure)
{
    // The door: the workspace is stored and the program ends at once, without the closing
    // steps. When the workspace cannot be stored (a read-only or locked file), the user decides
    // whether to end anyway; the note is already in the file or in its recovery file.
    QString said = noteFailure.isEmpty() ? QString() : noteFailure + QStringLiteral("\n\n");
    try {
        m_form3->SaveWorkspace(workspaceGeometry());
    } catch (const std::exception &error) {
        QString reason = QString::fromUtf8(error.what()).trimmed();
        if (reason.endsWith(QLatin1Char('.')))
            reason.chop(1);
        const MessageBoxes::Answer answer = m_platform.messageBoxes.ask(
            this, QStringLiteral("Quillet"),
            said + tr("The workspace could not be stored: %1. End Quillet anyway?").arg(reason),
            MessageBoxes::Buttons::YesNo, MessageBoxes::Icon::Warning);
        if (answer == MessageBoxes::Answer::No)
            return;
        said.clear();
    }
    if (!said.isEmpty())
        m_platform.messageBoxes.inform(this, QStringLiteral("Quillet"), noteFailure,
                                       MessageBoxes::Icon::Warning);
    if (m_platform.endProgram)
        m_platform.endProgram();
}

std::optional<NoteKeptAside> MDIForm1::MDIForm_QueryUnload()
{
    return m_form3->saveBeforeClosing();
}

void MDIForm1::Form_Unload()
{
    m_form3->SaveWorkspace(workspaceGeometry());
}

void MDIForm1::closeEvent(QCloseEvent *event)
{
    // The close always goes on. Whatever could not be stored on the way is said once, at the
    // end, in one message: what was not stored, then each cause once. The program is ending,
    // so the message gives no advice to try again.
    QStringList notStored;
    QStringList causes;
    const auto because = [&](const QString &cause) {
        if (!causes.contains(cause))
            causes << cause;
    };
    try {
        if (const std::optional<NoteKeptAside> note = MDIForm_QueryUnload()) {
            notStored << note->what;
            because(note->cause);
        }
    } catch (const std::exception &error) {
        notStored << tr("Your note was NOT stored.");
        because(causeOf(error));
    }
    try {
        Form_Unload();
    } catch (const std::exception &error) {
        notStored << tr("Which items were open, the selected item and the window's place and "
                        "size were not stored.");
        because(causeOf(error));
    }
    if (!notStored.isEmpty())
        reportUnhandled(
            m_platform.messageBoxes, this,
            tr("Quillet could not store everything while closing.\n\n") +
                notStored.join(QStringLiteral("\n")) + tr("\n\nWhy: ") +
                causes.join(QStringLiteral("\n")) +
                tr("\n\nThe notes database: %1").arg(QString::fromStdString(m_session.path())));
    event->accept();
}

bool MDIForm1::eventFilter(QObject *watched, QEvent *event)
{
    // The client area is resized after the main window, once the window's layout has run:
    // the notes window follows the client area's own size.
    if (watched == m_area->viewport() && event->type() == QEvent::Resize)
        MDIForm_Resize();
    return QMainWindow::eventFilter(watched, event);
}

void MDIForm1::MDIForm_Resize()
{
    const QSize client = m_area->viewport()->size();
    const NotesLayout layout =
        layoutNotes(static_cast<float>(twips::fromPixelsX(client.width())),
                    static_cast<float>(twips::fromPixelsY(client.height())),
                    static_cast<float>(twips::fromPixelsX(m_child->width())),
                    static_cast<float>(twips::fromPixelsY(m_child->height())));

    // The notes window stays at the client area's top-left corner.
    QSize form = m_child->size();
    if (layout.formWidth)
        form.setWidth(twips::toPixelsX(*layout.formWidth));
    if (layout.formHeight)
        form.setHeight(twips::toPixelsY(*layout.formHeight));
    m_child->setGeometry(QRect(QPoint(0, 0), form));
    m_form3->resize(form);
    m_form3->applyLayout(layout);
}

} // namespace quillet
