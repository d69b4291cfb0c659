#include "app/single_instance.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QThread>
#include <QTimer>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr char kShowRequest[] = "show\n";
constexpr char kShowAnswer[] = "ok\n";

// Whether the process at the other end of a connected local socket runs as this user. The kernel
// records it at connect (or listen) time, so no peer can claim another user's id.
bool PeerIsThisUser(qintptr descriptor) {
    if (descriptor < 0) return false;
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (::getsockopt(static_cast<int>(descriptor), SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0) return false;
    return credentials.uid == ::geteuid();
}

// What makes `path` unfit to hold our sockets, or an empty string when it is a folder of ours
// that no one else may enter.
std::string PrivateFolderProblem(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return std::strerror(errno);
    if (S_ISLNK(info.st_mode)) return "it is a symbolic link";
    if (!S_ISDIR(info.st_mode)) return "it is not a folder";
    if (info.st_uid != ::geteuid()) return "it belongs to user id " + std::to_string(info.st_uid);
    if ((info.st_mode & 0777) != 0700) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
        return std::string("its mode is ") + mode + ", not 0700";
    }
    return {};
}

// Whether a socket named `name` fits in `folder`: the kernel's socket addresses are short.
bool SocketFits(const std::string& folder, const QString& name) {
    return folder.size() + 1 + static_cast<std::size_t>(name.size()) < sizeof(sockaddr_un::sun_path);
}

}  // namespace

CSingleInstance::CSingleInstance(const QString& directory, std::function<void()> onShow, int askTimeoutMs)
    : m_directory(directory), m_onShow(std::move(onShow)), m_askTimeoutMs(askTimeoutMs) {}

CSingleInstance::~CSingleInstance() {
    if (m_server) m_server->close();
}

QString CSingleInstance::LockFileName() { return QString::fromLatin1(kFolderLockFile); }

QString CSingleInstance::SocketName(const QString& directory) {
    QString path = QFileInfo(directory).canonicalFilePath();
    if (path.isEmpty()) path = QDir(directory).absolutePath();
    const QByteArray hash = QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha256).toHex().left(16);
    return QStringLiteral("velmora-%1").arg(QString::fromLatin1(hash));
}

QString CSingleInstance::SocketFolder() {
    const QString sampleName = SocketName(QStringLiteral("/"));
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/' && SocketFits(runtime, sampleName) &&
        PrivateFolderProblem(runtime).empty()) {
        return QFile::decodeName(runtime);
    }
    // No private runtime folder: one of our own in the temporary folder (or in /tmp when that one's
    // path is too long for a socket). Others may have made it first to catch our sockets, so it is
    // checked after making it.
    const std::string own = "/velmora-" + std::to_string(::geteuid());
    const char* temporary = std::getenv("TMPDIR");
    std::string folder = temporary != nullptr && temporary[0] == '/' ? temporary : "/tmp";
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    folder += own;
    if (!SocketFits(folder, sampleName)) folder = "/tmp" + own;
    std::string problem;
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        problem = std::strerror(errno);
    } else {
        problem = PrivateFolderProblem(folder);
    }
    if (problem.empty()) return QFile::decodeName(folder.c_str());
    std::fprintf(stderr,
                 "velmora: %s cannot hold the socket that finds a running copy (%s); this copy cannot be found\n",
                 folder.c_str(), problem.c_str());
    return {};
}

QString CSingleInstance::SocketPath(const QString& directory) {
    const QString folder = SocketFolder();
    return folder.isEmpty() ? QString() : QDir(folder).filePath(SocketName(directory));
}

CSingleInstance::Role CSingleInstance::Start() {
    m_socketPath = SocketPath(m_directory);
    switch (TakeLock()) {
    case LockResult::Taken:
        Listen();
        return Role::First;
    case LockResult::HeldByAnother:
        // A kernel lock dies with its process, so the holder is alive. Even if it never answers, a
        // second copy must not run: at exit the two would write over each other's files.
        return !m_socketPath.isEmpty() && AskToShow(m_socketPath, m_askTimeoutMs) ? Role::Second : Role::Blocked;
    case LockResult::Unusable:
        // Without the lock nothing keeps another copy, or velmora-cal, from writing the files
        // meanwhile.
        return Role::LockUnusable;
    case LockResult::Unavailable:
        break;
    }
    // No lock can be had here (a read-only or missing directory), so the socket is the only sign
    // of a running copy.
    if (!m_socketPath.isEmpty() && AskToShow(m_socketPath, 500)) return Role::Second;
    Listen();
    return Role::First;
}

CSingleInstance::LockResult CSingleInstance::TakeLock() {
    m_lock.emplace(QFile::encodeName(m_directory).toStdString());
    const QString why = QString::fromLocal8Bit(std::strerror(m_lock->Error()));
    switch (m_lock->GetState()) {
    case FolderLock::State::Held:
        return LockResult::Taken;
    case FolderLock::State::Busy:
        return LockResult::HeldByAnother;
    case FolderLock::State::CannotOpen:
        // No lock file and no way to make one (a read-only or missing directory): no lock.
        if (!m_lock->FileExists()) return LockResult::Unavailable;
        if (const std::optional<uid_t> owner = m_lock->ForeignOwner())
            m_lockProblem = QStringLiteral("it belongs to user id %1 and cannot be opened (%2)").arg(*owner).arg(why);
        else
            m_lockProblem = QStringLiteral("it cannot be opened (%1)").arg(why);
        return LockResult::Unusable;
    case FolderLock::State::NotAFile:
        m_lockProblem = QStringLiteral("it is not a regular file");
        return LockResult::Unusable;
    case FolderLock::State::CannotLock:
        break;
    }
    return LockResult::Unavailable;
}

bool CSingleInstance::HoldsLock() const { return m_lock && m_lock->Held(); }

QString CSingleInstance::LockProblem() const { return m_lockProblem; }

bool CSingleInstance::IsListening() const { return m_server && m_server->isListening(); }

void CSingleInstance::Listen() {
    if (m_socketPath.isEmpty()) return;  // SocketFolder has said why
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // The lock (or the silence on the socket) says no copy of ours listens: a socket file left by
    // a copy that died, or put there by anyone else, would only stand in the way.
    QLocalServer::removeServer(m_socketPath);
    if (!m_server->listen(m_socketPath)) {
        std::fprintf(stderr, "velmora: cannot listen on %s (%s); this copy cannot be found\n",
                     QFile::encodeName(m_socketPath).constData(), m_server->errorString().toLocal8Bit().constData());
        m_server.reset();
        return;
    }
    QObject::connect(m_server.get(), &QLocalServer::newConnection, m_server.get(), [this] { OnConnection(); });
}

void CSingleInstance::OnConnection() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        const auto drop = [socket] {
            socket->abort();
            socket->deleteLater();
        };
        if (!PeerIsThisUser(socket->socketDescriptor())) {
            drop();
            continue;
        }
        // The request is one short line: more than that, or nothing in time, and the peer goes.
        // The capped buffer keeps a peer that floods the socket from growing our memory.
        socket->setReadBufferSize(kMaxRequestBytes);
        QTimer::singleShot(kPeerTimeoutMs, socket, drop);
        auto received = std::make_shared<QByteArray>();
        QObject::connect(socket, &QLocalSocket::readyRead, socket, [this, socket, received, drop] {
            received->append(socket->read(kMaxRequestBytes - received->size()));
            const qsizetype end = received->indexOf('\n');
            if (end < 0) {
                if (received->size() >= kMaxRequestBytes) drop();
                return;
            }
            if (received->left(end + 1) != kShowRequest) {
                drop();
                return;
            }
            // Answered once: whatever else the peer sends is not read.
            QObject::disconnect(socket, &QLocalSocket::readyRead, socket, nullptr);
            if (m_onShow) m_onShow();
            socket->write(kShowAnswer);
            socket->flush();
            socket->disconnectFromServer();
        });
    }
}

bool CSingleInstance::AskToShow(const QString& socketPath, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    const auto remaining = [&deadline] { return static_cast<int>(std::max<qint64>(0, deadline.remainingTime())); };
    do {
        QLocalSocket socket;
        socket.connectToServer(socketPath);
        if (socket.waitForConnected(std::min(500, remaining()))) {
            // Whoever else listens at this path may answer anything: no answer of theirs counts.
            if (!PeerIsThisUser(socket.socketDescriptor())) return false;
            socket.setReadBufferSize(kMaxRequestBytes);
            socket.write(kShowRequest);
            socket.waitForBytesWritten(remaining());
            QByteArray answer;
            while (!answer.contains('\n') && answer.size() < kMaxRequestBytes) {
                if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(remaining())) break;
                answer.append(socket.read(kMaxRequestBytes - answer.size()));
            }
            return answer == kShowAnswer;
        }
        QThread::msleep(100);
    } while (!deadline.hasExpired());
    return false;
}
