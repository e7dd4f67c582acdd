#include "platform/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

namespace quillet {

SingleInstance::SingleInstance(const QString &programFolder)
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    // One lock per program folder: copies installed in different folders keep different notes.
    const QByteArray id = QCryptographicHash::hash(QDir(programFolder).canonicalPath().toUtf8(),
                                                   QCryptographicHash::Sha1)
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
