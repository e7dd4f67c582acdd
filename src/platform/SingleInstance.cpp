#include "platform/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillet {

namespace {

// What names one database file however it is reached: its device and inode, when it is there;
// its path with links followed, when it is not (yet).
QByteArray fileIdentity(const QString &databasePath)
{
    struct stat info
    {
    };
    const QByteArray path = QFile::encodeName(databasePath);
    if (::stat(path.constData(), &info) == 0)
        return QByteArray::number(static_cast<qulonglong>(info.st_dev)) + ':' +
               QByteArray::number(static_cast<qulonglong>(info.st_ino));
    const QString canonical = QFileInfo(databasePath).canonicalFilePath();
    return QFile::encodeName(canonical.isEmpty() ? QFileInfo(databasePath).absoluteFilePath()
                                                 : canonical);
}

} // namespace

SingleInstance::SingleInstance(const QString &databasePath)
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    // One lock per database file: copies with different notes run side by side, and two
    // copies never write one file.
    const QByteArray id =
        QCryptographicHash::hash(fileIdentity(databasePath), QCryptographicHash::Sha1)
            .toHex()
            .left(16);
    m_lockPath =
        folder + QStringLiteral("/quillet-") + QString::fromLatin1(id) + QStringLiteral(".lock");
    m_socketPath =
        folder + QStringLiteral("/quillet-") + QString::fromLatin1(id) + QStringLiteral(".socket");
}

SingleInstance::~SingleInstance()
{
    release();
}

bool SingleInstance::acquire()
{
    // A lock held through the open file: nothing stale to recognise and no process to look
    // up, and it is quick, as it comes before the window.
    const QByteArray path = QFile::encodeName(m_lockPath);
    const int file = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    // The lock cannot be made at all (no runtime folder): do not refuse to start.
    if (file < 0)
        return true;
    if (::flock(file, LOCK_EX | LOCK_NB) != 0) {
        const bool held = errno == EWOULDBLOCK;
        ::close(file);
        return !held;
    }
    m_lockFile = file;
    // The holder's process number, for a person (or a test) looking at the lock; the lock
    // holds whether or not it could be written.
    const std::string pid = std::to_string(::getpid()) + '\n';
    const bool written = ::ftruncate(file, 0) == 0 && ::pwrite(file, pid.data(), pid.size(), 0) ==
                                                          static_cast<ssize_t>(pid.size());
    static_cast<void>(written);
    return true;
}

void SingleInstance::release()
{
    if (m_server)
        m_server->close();
    if (m_lockFile >= 0) {
        ::close(m_lockFile);
        m_lockFile = -1;
    }
}

bool SingleInstance::listen(std::function<void()> bringToFront)
{
    // Holding the lock, this copy owns the name: a socket a killed copy left behind goes.
    QLocalServer::removeServer(m_socketPath);
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    QObject::connect(m_server.get(), &QLocalServer::newConnection, m_server.get(),
                     [server = m_server.get(), bringToFront = std::move(bringToFront)] {
                         while (QLocalSocket *other = server->nextPendingConnection()) {
                             QObject::connect(other, &QLocalSocket::disconnected, other,
                                              &QObject::deleteLater);
                             other->disconnectFromServer();
                             bringToFront();
                         }
                     });
    return m_server->listen(m_socketPath);
}

bool SingleInstance::askToBringToFront()
{
    QLocalSocket running;
    running.connectToServer(m_socketPath);
    if (!running.waitForConnected(2000))
        return false;
    running.disconnectFromServer();
    return true;
}

} // namespace quillet
