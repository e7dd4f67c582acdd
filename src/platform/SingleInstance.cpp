#include "platform/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

#include <sys/stat.h>

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

SingleInstance::~SingleInstance() = default;

bool SingleInstance::acquire()
{
    m_lock = std::make_unique<QLockFile>(m_lockPath);
    // Never stale by age: a long-running copy keeps its lock. A lock whose process has died is
    // recognised by QLockFile and taken over.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0))
        return true;
    if (m_lock->error() == QLockFile::LockFailedError)
        return false;
    // The lock could not be written at all (no runtime folder): do not refuse to start.
    return true;
}

void SingleInstance::release()
{
    if (m_server)
        m_server->close();
    if (m_lock)
        m_lock->unlock();
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
