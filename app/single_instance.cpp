#include "app/single_instance.h"

#include "model/copy_socket.h"
#include "model/folder_holder.h"
#include "model/local_socket.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QObject>
#include <QPointer>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

// One connected peer: its socket, closed when the object goes, what it has sent so far, and the
// time it has left.
class CSingleInstance::Peer : public QObject {
public:
    Peer(int descriptor, QObject* parent)
        : QObject(parent),
          m_descriptor(descriptor),
          m_readable(descriptor, QSocketNotifier::Read, this),
          m_deadline(this) {
        m_deadline.setSingleShot(true);
        QObject::connect(&m_deadline, &QTimer::timeout, this, [this] { Drop(); });
    }
    ~Peer() override { ::close(m_descriptor); }
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;

    int Descriptor() const { return m_descriptor; }
    std::string& Received() { return m_received; }
    QSocketNotifier& Readable() { return m_readable; }
    // Gives the peer `ms` more to live.
    void Allow(int ms) { m_deadline.start(ms); }
    // Whether the peer has sent its request and waits for a pass.
    bool Waiting() const { return m_waiting; }
    void SetWaiting() { m_waiting = true; }
    // Closes the peer without an answer (or after its answer) once control is back in the loop.
    void Drop() {
        m_readable.setEnabled(false);
        m_deadline.stop();
        deleteLater();
    }
    // Sends `answer` and drops the peer; only the first answer goes.
    void Answer(const std::string& answer) {
        if (m_answered) return;
        m_answered = true;
        Drop();
        local_socket::SendAll(m_descriptor, answer, kPeerTimeoutMs);
    }

private:
    int m_descriptor;
    std::string m_received;
    QSocketNotifier m_readable;
    QTimer m_deadline;
    bool m_waiting = false;
    bool m_answered = false;
};

CSingleInstance::CSingleInstance(const QString& directory, std::function<void()> onShow, int askTimeoutMs)
    : m_directory(directory), m_onShow(std::move(onShow)), m_askTimeoutMs(askTimeoutMs) {}

CSingleInstance::~CSingleInstance() { StopListening(); }

QString CSingleInstance::LockFileName() { return QString::fromLatin1(kFolderLockFile); }

QString CSingleInstance::SocketName(const QString& directory) {
    return QString::fromLatin1(copy_socket::SocketName(QFile::encodeName(directory).toStdString()));
}

QString CSingleInstance::SocketFolder() {
    std::string problem;
    const std::string folder = copy_socket::SocketFolder(problem);
    if (folder.empty()) std::fprintf(stderr, "velmora: %s; this copy cannot be found\n", problem.c_str());
    return QFile::decodeName(folder.c_str());
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
        // The request is one short line: more than that, or nothing in time, and the peer goes.
        peer->Allow(kPeerTimeoutMs);
        QObject::connect(&peer->Readable(), &QSocketNotifier::activated, peer, [this, peer] { OnRequest(peer); });
    }
}

void CSingleInstance::OnRequest(Peer* peer) {
    if (peer->Waiting()) {
        // A peer waiting for its pass has nothing more to say: its end, or anything it sends,
        // and it goes; its pass still runs, and the answer is dropped.
        std::string ignored;
        if (local_socket::ReadSome(peer->Descriptor(), ignored, kMaxRequestBytes) != -1) peer->Drop();
        return;
    }
    // Reading at most a request's length keeps a peer that floods the socket from growing our memory.
    std::string& received = peer->Received();
    const ssize_t count = local_socket::ReadSome(peer->Descriptor(), received, kMaxRequestBytes - received.size());
    if (count == -1) return;  // woken with nothing to read
    const std::size_t end = received.find('\n');
    if (end == std::string::npos) {
        if (count <= 0 || received.size() >= static_cast<std::size_t>(kMaxRequestBytes)) peer->Drop();
        return;
    }
    // Answered once: whatever else the peer sends is not read.
    const std::string request = received.substr(0, end + 1);
    if (request == copy_socket::kShowRequest) {
        // Showing the window may run a loop of its own: the peer is not read meanwhile.
        peer->Readable().setEnabled(false);
        if (m_onShow) m_onShow();
        peer->Answer(copy_socket::kShowAnswer);
        return;
    }
    if (request != copy_socket::kSyncRequest && request != copy_socket::kSyncAcceptEmptyRequest) {
        peer->Drop();
        return;
    }
    if (!m_onSync) {
        peer->Answer(copy_socket::kNotSyncingAnswer);
        return;
    }
    // A pass may take minutes: the peer waits for it, within a bound, while the loop runs on.
    peer->SetWaiting();
    peer->Allow(copy_socket::kPassWaitMs);
    QPointer<Peer> waiting(peer);
    m_onSync(request == copy_socket::kSyncAcceptEmptyRequest, [waiting](const std::string& answer) {
        std::string line = answer;
        if (line.empty() || line.back() != '\n') line += '\n';
        // The peer lives on the GUI thread and may be gone by now: it is looked at only there.
        const auto send = [waiting, line] {
            if (waiting) waiting->Answer(line);
        };
        QCoreApplication* app = QCoreApplication::instance();
        if (app == nullptr || QThread::currentThread() == app->thread()) {
            send();
        } else {
            QMetaObject::invokeMethod(app, send, Qt::QueuedConnection);
        }
    });
}

bool CSingleInstance::AskToShow(const QString& socketPath, int timeoutMs) {
    const auto started = std::chrono::steady_clock::now();
    const int descriptor =
        copy_socket::SendRequest(QFile::encodeName(socketPath).toStdString(), copy_socket::kShowRequest, timeoutMs);
    if (descriptor < 0) return false;
    const auto spent =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count();
    const std::optional<std::string> answer = copy_socket::ReadAnswer(
        descriptor, kMaxRequestBytes, static_cast<int>(std::max<long long>(0, timeoutMs - spent)));
    ::close(descriptor);
    return answer == std::string(copy_socket::kShowAnswer);
}
