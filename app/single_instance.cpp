#include "app/single_instance.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QThread>

#include <unistd.h>

namespace {

constexpr char kShowRequest[] = "show\n";
constexpr char kShowAnswer[] = "ok\n";
// How long a later copy waits for the running one, which may itself still be starting.
constexpr int kAskTimeoutMs = 10000;

}  // namespace

CSingleInstance::CSingleInstance(const QString& directory, std::function<void()> onShow)
    : m_directory(directory), m_onShow(std::move(onShow)) {}

CSingleInstance::~CSingleInstance() {
    if (m_server) m_server->close();
}

QString CSingleInstance::LockFileName() { return QStringLiteral(".velmora.lock"); }

QString CSingleInstance::SocketName(const QString& directory) {
    QString path = QFileInfo(directory).canonicalFilePath();
    if (path.isEmpty()) path = QDir(directory).absolutePath();
    const QByteArray hash = QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha256).toHex().left(24);
    return QStringLiteral("velmora-%1-%2").arg(::getuid()).arg(QString::fromLatin1(hash));
}

CSingleInstance::Role CSingleInstance::Start() {
    const QString socketName = SocketName(m_directory);
    m_lock = std::make_unique<QLockFile>(QDir(m_directory).filePath(LockFileName()));
    // Only a lock whose process has died is stale, however long a copy has been running.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0)) {
        Listen();
        return Role::First;
    }
    if (m_lock->error() == QLockFile::LockFailedError) {
        // The holder is alive. Even if it never answers, a second copy must not run: at exit the
        // two would write over each other's files.
        AskToShow(socketName, kAskTimeoutMs);
        return Role::Second;
    }
    // No lock can be made here (a read-only or missing directory), so the socket is the only
    // sign of a running copy.
    if (AskToShow(socketName, 500)) return Role::Second;
    Listen();
    return Role::First;
}

bool CSingleInstance::HoldsLock() const { return m_lock && m_lock->isLocked(); }

void CSingleInstance::Listen() {
    const QString socketName = SocketName(m_directory);
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // The lock (or the silence on the socket) says no copy listens: a socket file left by a
    // copy that died would only stand in the way.
    QLocalServer::removeServer(socketName);
    if (!m_server->listen(socketName)) return;  // the program runs; later copies cannot reach it
    QObject::connect(m_server.get(), &QLocalServer::newConnection, m_server.get(), [this] { OnConnection(); });
}

void CSingleInstance::OnConnection() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        QObject::connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
            if (!socket->canReadLine()) return;
            if (socket->readLine() != kShowRequest) {
                socket->disconnectFromServer();
                return;
            }
            if (m_onShow) m_onShow();
            socket->write(kShowAnswer);
            socket->flush();
            socket->disconnectFromServer();
        });
    }
}

bool CSingleInstance::AskToShow(const QString& socketName, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    do {
        QLocalSocket socket;
        socket.connectToServer(socketName);
        if (socket.waitForConnected(static_cast<int>(std::min<qint64>(500, deadline.remainingTime())))) {
            socket.write(kShowRequest);
            socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime()));
            while (!socket.canReadLine() && socket.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {}
            if (socket.canReadLine()) return socket.readLine() == kShowAnswer;
            return false;
        }
        QThread::msleep(100);
    } while (!deadline.hasExpired());
    return false;
}
