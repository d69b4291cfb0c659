#pragma once

#include "model/folder_lock.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <string>

class QSocketNotifier;

// One running copy per data directory. The first copy holds a kernel lock on a file in the
// directory and listens on a local socket in a folder only its user can enter; a later copy finds
// the lock taken, asks the running copy through the socket to show its window, and ends. velmora-cal
// asks the running copy through the same socket for a sync pass, so that the files keep one writer.
class CSingleInstance {
public:
    // Runs a pass for velmora-cal (`acceptEmpty`: an emptied side is mirrored) and calls `reply`
    // once with its answer line, on any thread, at any later time; a reply after the peer went is
    // dropped.
    using SyncHandler = std::function<void(bool acceptEmpty, std::function<void(const std::string& answer)> reply)>;

    enum class Role {
        First,          // this copy runs: it holds the lock, or no lock can be had and no copy answers
        Second,         // another copy runs in the directory and has been asked to show itself
        Blocked,        // another copy holds the lock but cannot be reached: this copy must not run
        HeldByCommand,  // a velmora-cal command holds the lock (HolderPid names it): this copy must not run
        LockUnusable,   // the lock file is there but cannot be taken (LockProblem says why): this copy must not run
    };

    // How long a later copy waits for the running one, which may itself still be starting.
    static constexpr int kAskTimeoutMs = 10000;
    // How long a connected peer may take to send its request before it is dropped (one that asked
    // for a pass waits for it at most copy_socket::kPassWaitMs).
    static constexpr int kPeerTimeoutMs = 2000;
    // The longest request a peer may send, its newline included.
    static constexpr int kMaxRequestBytes = 64;

    // `onShow` runs on the GUI thread each time a later copy asks this one to show itself;
    // `askTimeoutMs` bounds how long Start waits for a copy that holds the lock.
    CSingleInstance(const QString& directory, std::function<void()> onShow, int askTimeoutMs = kAskTimeoutMs);
    ~CSingleInstance();
    CSingleInstance(const CSingleInstance&) = delete;
    CSingleInstance& operator=(const CSingleInstance&) = delete;

    // Takes the lock and listens, or asks the copy that holds the lock to show itself; returns
    // which of these this copy is. A copy that died holds no lock, whatever its file says.
    Role Start();
    // Makes `handler` run the passes velmora-cal asks for; without one the answer is that this copy
    // does not sync its directory.
    void SetSyncHandler(SyncHandler handler) { m_onSync = std::move(handler); }
    // Returns TRUE while this copy holds the directory's lock.
    bool HoldsLock() const;
    // Returns TRUE while this copy listens for later copies.
    bool IsListening() const;
    // Returns why the lock file could not be taken after a start that found it unusable.
    QString LockProblem() const;
    // Returns the process id of the velmora-cal command that holds the lock, after a start that found one.
    qint64 HolderPid() const { return m_holderPid; }

    // Returns the name of the lock file inside the directory.
    static QString LockFileName();
    // Returns the socket's name for a directory: a hash of its canonical path.
    static QString SocketName(const QString& directory);
    // Returns the folder that holds the sockets: $XDG_RUNTIME_DIR when it is a folder of ours with
    // mode 0700, else "velmora-<uid>" in $TMPDIR (or in /tmp when $TMPDIR is unset or its path too
    // long for a socket), made with mode 0700 when missing;
    // returns an empty string (and says why on stderr) when neither is a private folder of ours.
    static QString SocketFolder();
    // Returns the full path of the socket for a directory, or an empty string without a folder.
    static QString SocketPath(const QString& directory);
    // Asks the copy listening on `socketPath` to show itself, retrying while it starts up for at
    // most `timeoutMs`; returns true only when a process of this user answered that it did.
    static bool AskToShow(const QString& socketPath, int timeoutMs);

private:
    enum class LockResult { Taken, HeldByAnother, Unusable, Unavailable };
    LockResult TakeLock();
    void Listen();
    void OnConnection();
    class Peer;
    void OnRequest(Peer* peer);
    void StopListening();

    QString m_directory;
    QString m_socketPath;
    std::function<void()> m_onShow;
    SyncHandler m_onSync;
    int m_askTimeoutMs;
    std::optional<FolderLock> m_lock;
    QString m_lockProblem;
    qint64 m_holderPid = 0;
    int m_listener = -1;
    // Watches the listening socket; the connected peers are its children.
    std::unique_ptr<QSocketNotifier> m_notifier;
};
