#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QString>

#include <functional>
#include <memory>

// One running copy per data directory. The first copy holds a lock file in the directory and
// listens on a local socket whose name comes from the directory's canonical path; a later copy
// finds the lock taken, asks the running copy through the socket to show its window, and ends.
class CSingleInstance {
public:
    enum class Role {
        First,   // this copy runs: it holds the lock, or no lock can be had and no copy answers
        Second,  // another copy runs in the directory and has been asked to show itself
    };

    // `onShow` runs on the GUI thread each time a later copy asks this one to show itself.
    CSingleInstance(const QString& directory, std::function<void()> onShow);
    ~CSingleInstance();
    CSingleInstance(const CSingleInstance&) = delete;
    CSingleInstance& operator=(const CSingleInstance&) = delete;

    // Takes the lock (a lock left by a copy that died is taken over) and listens, or asks the
    // running copy to show itself; returns which of the two this copy is.
    Role Start();
    // Returns TRUE while this copy holds the directory's lock.
    bool HoldsLock() const;

    // Returns the name of the lock file inside the directory.
    static QString LockFileName();
    // Returns the local socket name of a directory: the user and a hash of its canonical path.
    static QString SocketName(const QString& directory);
    // Asks the copy listening on `socketName` to show itself, retrying while it starts up for at
    // most `timeoutMs`; returns true when it answered.
    static bool AskToShow(const QString& socketName, int timeoutMs);

private:
    void Listen();
    void OnConnection();

    QString m_directory;
    std::function<void()> m_onShow;
    std::unique_ptr<QLockFile> m_lock;
    std::unique_ptr<QLocalServer> m_server;
};
