#pragma once

#include "sync/engine.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

class CCalendarDlg;

// The main window's sync with the CalDAV calendar its data folder is set up for. Each pass runs
// in a worker process (velmora-sync-pass), watched by a thread of ours, so that the window never
// waits for the network and the calendar never loads its libraries; the store a pass brings is put
// in on the window's thread at its clock's next tick, and only when the memos have not changed
// since the pass began and no day's memo is out in its dialog (else the pass stops and the next
// one, a few seconds later, merges again).
class CCalendarSync {
public:
    using Done = std::function<void(const memosync::SyncResult&)>;

    // How long after a change of the memo store its pass starts, and how often one runs anyway.
    static constexpr std::chrono::seconds kAfterChange{3};
    static constexpr std::chrono::minutes kEvery{10};

    explicit CCalendarSync(CCalendarDlg& window);
    ~CCalendarSync();
    CCalendarSync(const CCalendarSync&) = delete;
    CCalendarSync& operator=(const CCalendarSync&) = delete;

    // At start-up: the first pass, when the folder is set up.
    void Start();
    // A tick of the clock: takes what a running pass brings or ended with, and starts a pass when
    // one is due.
    void Look();
    // A pass asked for by velmora-cal: it starts after any pass under way; `done` gets its result
    // on the window's thread.
    void PassForCommand(bool acceptEmpty, Done done);
    // At the end of the program: lets a pass under way finish and runs a last one when the memos
    // changed since, waiting at most `limit` in all.
    void End(std::chrono::milliseconds limit);

private:
    struct Shared;  // what the worker and the window share, under its mutex
    using Clock = std::chrono::steady_clock;

    // The worker thread: one pass in a worker process, each store it brings offered to the window,
    // which answers at its tick.
    static void RunPass(const std::shared_ptr<Shared>& shared, const std::string& store, bool acceptEmpty);
    static memosync::SyncResult RunWorker(const std::shared_ptr<Shared>& shared, const std::string& store,
                                          bool acceptEmpty);
    // Kills the worker process of a pass under way and waits for its thread.
    void Stop();
    void StartPass();
    // Puts a store the worker offers into the memo store; returns false and why when it may not.
    bool PutStore(const std::string& store, std::string& error);
    // Answers the worker's offer of a store, if it made one; returns true when it had ended.
    bool Serve();
    void Finished(const memosync::SyncResult& result);
    void Tell(const std::string& what);

    CCalendarDlg& m_window;
    std::string m_folder;
    std::shared_ptr<Shared> m_shared;
    std::thread m_worker;
    std::string m_passBase;   // the memo store the running pass began from, or last put in
    std::string m_lastStore;  // the memo store as the last look saw it
    std::string m_synced;     // the memo store as the last pass that succeeded left it
    std::optional<Clock::time_point> m_changedAt;
    Clock::time_point m_nextPass;
    bool m_ending = false;
    bool m_superseded = false;  // the running pass's store was refused: the memos changed meanwhile
    bool m_acceptEmptyNext = false;
    std::vector<Done> m_waiting;          // commands that wait for the next pass
    std::vector<Done> m_inThisPass;       // commands the running pass answers
    bool m_told = false;                  // a failure was told; again only after a pass succeeds
    std::set<std::string> m_toldSkipped;  // the unreadable items named on stderr
};
