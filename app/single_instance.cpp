#include "app/single_instance.h"

#include "app/local_socket.h"
#include "model/folder_holder.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

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

// One connected peer: its socket, closed when the object goes, and what it has sent so far.
class Peer : public QObject {
public:
    Peer(int descriptor, QObject* parent) : QObject(parent), m_descriptor(descriptor) {}
    ~Peer() override { ::close(m_descriptor); }
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;

    int Descriptor() const { return m_descriptor; }
    std::string& Received() { return m_received; }

private:
    int m_descriptor;
    std::string m_received;
};

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

CSingleInstance::~CSingleInstance() { StopListening(); }

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
        // No command holds the folder now: a note one left when it was killed must not be believed later.
        RemoveFolderHolder(QFile::encodeName(m_directory).toStdString());
        Listen();
        return Role::First;
    case LockResult::HeldByAnother: {
        // A kernel lock dies with its process, so the holder is alive. Even if it never answers, a
        // second copy must not run: at exit the two would write over each other's files. A command
        // that holds the folder says so in its note, at once or (just started) while we ask.
        const std::string folder = QFile::encodeName(m_directory).toStdString();
        const auto heldByCommand = [this, &folder] {
            const std::optional<FolderHolder> holder = ReadFolderHolder(folder);
            if (holder) m_holderPid = holder->pid;
            return holder.has_value();
        };
        if (heldByCommand()) return Role::HeldByCommand;
        if (!m_socketPath.isEmpty() && AskToShow(m_socketPath, m_askTimeoutMs)) return Role::Second;
        return heldByCommand() ? Role::HeldByCommand : Role::Blocked;
    }
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

bool CSingleInstance::IsListening() const { return m_listener >= 0; }

void CSingleInstance::Listen() {
    if (m_socketPath.isEmpty()) return;  // SocketFolder has said why
    // The lock (or the silence on the socket) says no copy of ours listens: a socket file left by
    // a copy that died, or put there by anyone else, would only stand in the way; Listen removes it.
    std::string problem;
    m_listener = local_socket::Listen(QFile::encodeName(m_socketPath).toStdString(), problem);
    if (m_listener < 0) {
        std::fprintf(stderr, "velmora: cannot listen on %s (%s); this copy cannot be found\n",
                     QFile::encodeName(m_socketPath).constData(), problem.c_str());
        return;
    }
    m_notifier = std::make_unique<QSocketNotifier>(m_listener, QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(), [this] { OnConnection(); });
}

void CSingleInstance::StopListening() {
    if (m_listener < 0) return;
    m_notifier.reset();  // and with it every peer still connected
    ::close(m_listener);
    m_listener = -1;
    ::unlink(QFile::encodeName(m_socketPath).constData());
}

void CSingleInstance::OnConnection() {
    for (int descriptor = local_socket::Accept(m_listener); descriptor >= 0;
         descriptor = local_socket::Accept(m_listener)) {
        auto* peer = new Peer(descriptor, m_notifier.get());
        if (!local_socket::PeerIsThisUser(descriptor)) {
            delete peer;
            continue;
        }
        auto* readable = new QSocketNotifier(descriptor, QSocketNotifier::Read, peer);
        const auto drop = [peer, readable] {
            readable->setEnabled(false);
            peer->deleteLater();
        };
        // The request is one short line: more than that, or nothing in time, and the peer goes.
        // Reading at most that much keeps a peer that floods the socket from growing our memory.
        QTimer::singleShot(kPeerTimeoutMs, peer, drop);
        QObject::connect(readable, &QSocketNotifier::activated, peer, [this, peer, drop] {
            std::string& received = peer->Received();
            const ssize_t count =
                local_socket::ReadSome(peer->Descriptor(), received, kMaxRequestBytes - received.size());
            if (count == -1) return;  // woken with nothing to read
            const std::size_t end = received.find('\n');
            if (end == std::string::npos) {
                if (count <= 0 || received.size() >= static_cast<std::size_t>(kMaxRequestBytes)) drop();
                return;
            }
            // Answered once: whatever else the peer sends is not read.
            drop();
            if (received.compare(0, end + 1, kShowRequest) != 0) return;
            if (m_onShow) m_onShow();
            local_socket::SendAll(peer->Descriptor(), kShowAnswer, kPeerTimeoutMs);
        });
    }
}

bool CSingleInstance::AskToShow(const QString& socketPath, int timeoutMs) {
    const std::string path = QFile::encodeName(socketPath).toStdString();
    const QDeadlineTimer deadline(timeoutMs);
    const auto remaining = [&deadline] { return static_cast<int>(std::max<qint64>(0, deadline.remainingTime())); };
    do {
        const int descriptor = local_socket::Connect(path, std::min(500, remaining()));
        if (descriptor >= 0) {
            // Whoever else listens at this path may answer anything: no answer of theirs counts.
            std::string answer;
            if (local_socket::PeerIsThisUser(descriptor) &&
                local_socket::SendAll(descriptor, kShowRequest, remaining())) {
                while (answer.find('\n') == std::string::npos && answer.size() < kMaxRequestBytes) {
                    const ssize_t count = local_socket::ReadSome(descriptor, answer, kMaxRequestBytes - answer.size());
                    if (count == 0 || count == -2) break;
                    if (count == -1 && !local_socket::WaitReadable(descriptor, remaining())) break;
                }
            }
            ::close(descriptor);
            return answer == kShowAnswer;
        }
        QThread::msleep(100);
    } while (!deadline.hasExpired());
    return false;
}
