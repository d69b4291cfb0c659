#include "sync/engine.h"

#include "model/calendar_math.h"
#include "model/memo_store.h"
#include "model/record.h"
#include "sync/mapping.h"
#include "sync/merge.h"
#include "sync/text.h"

#include <cstdio>
#include <set>

namespace memosync {
namespace {

const std::string kNoMemo;
constexpr int kRequestsPerSave = 64;

// The first record of each day, by date (YYYYMMDD), as the calendar shows it; empty memos are none.
using LocalDays = std::map<std::string, std::string>;
// The days whose memo a pass changes: the new text (code page 932), std::nullopt to remove it.
using StoreEdits = std::map<std::string, std::optional<std::string>>;

struct RecordDate {
    int year = 0;  // years since 1900, as the record holds them
    int month = 0;
    int day = 0;
    std::string date;  // "" for a record of no real day
};

RecordDate DateOfRecord(const MemoRecordFields& fields) {
    RecordDate out{fields.year, fields.month, fields.day, ""};
    const long long year = static_cast<long long>(fields.year) + 1900;
    if (year < 1 || year > 9999 || fields.month < 0 || fields.month > 11 || fields.day < 1 ||
        fields.day > DaysInMonth(year, fields.month)) {
        return out;
    }
    char text[40];
    std::snprintf(text, sizeof text, "%04lld%02d%02d", year, fields.month + 1, fields.day);
    out.date = text;
    return out;
}

RecordDate RecordOfDate(const std::string& date) {
    return {std::stoi(date.substr(0, 4)) - 1900, std::stoi(date.substr(4, 2)) - 1, std::stoi(date.substr(6, 2)), date};
}

LocalDays ReadLocalDays(std::string_view store) {
    LocalDays days;
    std::string_view rest = store;
    while (!rest.empty()) {
        const MemoRecordFields fields = SplitMemoRecord(CutRecord(rest));
        const RecordDate date = DateOfRecord(fields);
        if (date.date.empty() || days.contains(date.date)) continue;
        days.emplace(date.date, std::string(fields.text));
    }
    for (auto it = days.begin(); it != days.end();) {
        it = it->second.empty() ? days.erase(it) : std::next(it);
    }
    return days;
}

// Returns the store with each edited day's first record replaced in place (or left out), new days
// appended; every other record keeps its bytes and order.
std::string EditedStore(std::string_view store, const StoreEdits& edits) {
    std::string out;
    out.reserve(store.size() + 256);
    std::set<std::string> done;
    std::string_view rest = store;
    while (!rest.empty()) {
        const std::string_view record = CutRecord(rest);
        const RecordDate date = DateOfRecord(SplitMemoRecord(record));
        const auto edit = date.date.empty() || done.contains(date.date) ? edits.end() : edits.find(date.date);
        if (edit == edits.end()) {
            out += rest.empty() ? CloseRecord(record) : std::string(record);
            continue;
        }
        done.insert(date.date);
        if (edit->second) AppendMemoRecord(out, date.year, date.month, date.day, *edit->second);
    }
    for (const auto& [day, text] : edits) {
        if (done.contains(day) || !text) continue;
        const RecordDate date = RecordOfDate(day);
        AppendMemoRecord(out, date.year, date.month, date.day, *text);
    }
    return out;
}

// A day's item as the server holds it now.
struct TheirDay {
    std::string href;
    std::string etag;
    std::string text;  // UTF-8, LF
};

// A request the pass still has to send.
struct Outgoing {
    std::string date;
    std::string href;
    std::string text;     // UTF-8, what the server should hold
    std::string ifMatch;  // "" = the item must not exist yet
    bool remove = false;
};

class Pass {
public:
    Pass(const SyncInput& input, Collection& collection, SyncState& state, SyncSink& sink)
        : input_(input),
          collection_(collection),
          state_(state),
          sink_(sink),
          store_(input.store),
          marker_(ConflictMarker(input.now)) {}

    SyncResult Run();

private:
    bool Fail(std::string error) {
        result_.ok = false;
        if (result_.error.empty()) result_.error = std::move(error);
        return false;
    }
    bool Save() {
        unsaved_ = 0;
        std::string error;
        return sink_.SaveState(state_, error) || Fail("the sync state could not be saved: " + error);
    }
    // A request whose answer the state has not kept yet costs the next pass a fetch, never a double
    // (the item's UID is its date, and merging a text with itself changes nothing), so the state is
    // saved every so many requests rather than after each.
    bool SaveSoon() { return ++unsaved_ < kRequestsPerSave || Save(); }
    void FinishJournal(const LocalDays& local);
    bool TakeChanges(std::map<std::string, TheirDay>& theirs, std::set<std::string>& removed,
                     std::set<std::string>& frozen, std::string& token);
    bool Apply(const StoreEdits& edits, const std::map<std::string, TheirDay>& newBases);
    bool Send(Outgoing request);
    std::optional<TheirDay> FetchDay(const std::string& href, bool& gone);

    const SyncInput& input_;
    Collection& collection_;
    SyncState& state_;
    SyncSink& sink_;
    std::string store_;
    std::string marker_;
    SyncResult result_;
    int unsaved_ = 0;
};

void Pass::FinishJournal(const LocalDays& local) {
    // A day journalled before a kill took the server's text as its base only if the store was
    // written; otherwise the old base still holds and the next merge does the work again.
    for (const auto& [date, day] : state_.pending) {
        const auto it = local.find(date);
        const std::string& now = it == local.end() ? kNoMemo : it->second;
        if (now == day.merged) state_.days[date] = ItemState{day.href, day.etag, day.theirs};
    }
    state_.pending.clear();
}

bool Pass::TakeChanges(std::map<std::string, TheirDay>& theirs, std::set<std::string>& removed,
                       std::set<std::string>& frozen, std::string& token) {
    std::map<std::string, std::string> dateOfHref;
    for (const auto& [date, item] : state_.days) dateOfHref[item.href] = date;
    std::string error;
    const auto changes = collection_.Changes(state_.token, error);
    if (!changes) return Fail(error);
    token = changes->newToken;
    std::set<std::string> gone(changes->removedHrefs.begin(), changes->removedHrefs.end());
    if (changes->full) {
        const std::set<std::string> listed(changes->changedHrefs.begin(), changes->changedHrefs.end());
        for (const auto& [href, date] : dateOfHref) {
            if (!listed.contains(href)) gone.insert(href);
        }
        for (auto it = state_.others.begin(); it != state_.others.end();) {
            it = listed.contains(it->first) ? std::next(it) : state_.others.erase(it);
        }
    }
    std::vector<std::string> wanted;
    for (const std::string& href : changes->changedHrefs) {
        if (gone.contains(href)) continue;
        const auto etag = changes->etags.find(href);
        const auto date = dateOfHref.find(href);
        const bool known = etag != changes->etags.end() && !etag->second.empty() &&
                           ((date != dateOfHref.end() && state_.days[date->second].etag == etag->second) ||
                            (state_.others.contains(href) && state_.others[href] == etag->second));
        if (!known) wanted.push_back(href);
    }
    for (const std::string& href : gone) {
        state_.others.erase(href);
        const auto date = dateOfHref.find(href);
        if (date != dateOfHref.end()) removed.insert(date->second);
    }
    if (wanted.empty()) return true;
    const auto items = collection_.Fetch(wanted, error);
    if (!items) return Fail(error);
    std::set<std::string> fetched;
    for (const RemoteItem& item : *items) {
        fetched.insert(item.href);
        const ServerItem read = ReadServerItem(item.ical);
        if (read.kind == ItemKind::Day) {
            theirs[read.date] = TheirDay{item.href, item.etag, read.text};
            removed.erase(read.date);
            continue;
        }
        state_.others[item.href] = item.etag;
        if (read.kind == ItemKind::Other) {
            ++result_.otherEvents;
            continue;
        }
        result_.skipped.push_back({item.href, read.error});
        // The day the item stood for stays as it is on both sides until the item reads again.
        const auto date = dateOfHref.find(item.href);
        if (date != dateOfHref.end()) frozen.insert(date->second);
    }
    for (const std::string& href : wanted) {
        const auto date = dateOfHref.find(href);
        if (!fetched.contains(href) && date != dateOfHref.end() && !theirs.contains(date->second)) {
            removed.insert(date->second);  // listed, then gone before the fetch
        }
    }
    return true;
}

bool Pass::Apply(const StoreEdits& edits, const std::map<std::string, TheirDay>& newBases) {
    if (edits.empty()) return true;
    const std::string store = EditedStore(store_, edits);
    const LocalDays written = ReadLocalDays(store);
    for (const auto& [date, day] : newBases) {
        const auto it = written.find(date);
        state_.pending[date] = PendingDay{it == written.end() ? "" : it->second, day.text, day.etag, day.href};
    }
    if (!Save()) return false;
    std::string error;
    if (!sink_.WriteStore(store, error)) return Fail("the memo file could not be written: " + error);
    store_ = store;
    FinishJournal(written);
    for (const auto& [date, text] : edits) {
        if (!text && !newBases.contains(date)) state_.days.erase(date);
    }
    return true;
}

std::optional<TheirDay> Pass::FetchDay(const std::string& href, bool& gone) {
    gone = false;
    std::string error;
    const auto items = collection_.Fetch({href}, error);
    if (!items) {
        Fail(error);
        return std::nullopt;
    }
    for (const RemoteItem& item : *items) {
        if (item.href != href) continue;
        const ServerItem read = ReadServerItem(item.ical);
        if (read.kind != ItemKind::Day) {
            Fail(href + ": " + (read.error.empty() ? std::string("no memo of Velmora's") : read.error));
            return std::nullopt;
        }
        return TheirDay{item.href, item.etag, read.text};
    }
    gone = true;
    return std::nullopt;
}

bool Pass::Send(Outgoing request) {
    for (int attempt = 0;; ++attempt) {
        std::string error;
        PutOutcome outcome = PutOutcome::Failed;
        std::string etag;
        if (request.remove) {
            ++result_.deletes;
            outcome = collection_.Delete(request.href, request.ifMatch, error);
        } else {
            ++result_.puts;
            const PutResult put =
                collection_.Put(request.href, DayCalendar(request.date, request.text, StampNow()), request.ifMatch);
            outcome = put.outcome;
            etag = put.etag;
            error = put.error;
        }
        if (outcome == PutOutcome::Failed) return Fail(error);
        if (outcome == PutOutcome::Stored) {
            if (request.remove) {
                state_.days.erase(request.date);
                ++result_.deletedUp;
            } else {
                state_.days[request.date] = ItemState{request.href, etag, request.text};
                ++result_.up;
            }
            return SaveSoon();
        }
        if (attempt >= input_.maxRetries) return Fail(request.href + ": the server changed it again at each try");
        // 412: someone else wrote the item since; take their text and merge again.
        bool gone = false;
        const auto now = FetchDay(request.href, gone);
        if (gone) {
            if (request.remove) {
                state_.days.erase(request.date);
                return Save();
            }
            request.ifMatch.clear();
            continue;
        }
        if (!now) return false;
        const auto known = state_.days.find(request.date);
        const std::string base = known == state_.days.end() ? "" : known->second.base;
        // An edit beats a delete: their edit comes back into the memo.
        const LineMerge merged =
            request.remove ? LineMerge{now->text, false} : MergeLines(base, request.text, now->text, marker_);
        if (merged.conflict) ++result_.keptBoth;
        const std::string memo = MemoOfServerText(merged.text);
        const LocalDays local = ReadLocalDays(store_);
        const auto current = local.find(request.date);
        if (current == local.end() || current->second != memo) {
            if (!Apply({{request.date, memo}}, {{request.date, *now}})) return false;
        } else {
            state_.days[request.date] = ItemState{now->href, now->etag, now->text};
            if (!Save()) return false;
        }
        if (merged.text == now->text) {
            ++result_.down;
            return true;
        }
        request = Outgoing{request.date, now->href, merged.text, now->etag, false};
    }
}

SyncResult Pass::Run() {
    result_.ok = true;
    const LocalDays local = ReadLocalDays(store_);
    FinishJournal(local);

    std::map<std::string, TheirDay> theirs;
    std::set<std::string> removed;
    std::set<std::string> frozen;
    std::string token;
    if (!TakeChanges(theirs, removed, frozen, token)) return result_;

    // A side that lost every item at once was more likely emptied by mistake than by hand.
    if (!input_.acceptEmpty && state_.days.size() >= 2) {
        bool localKept = false;
        for (const auto& [date, item] : state_.days) localKept = localKept || local.contains(date);
        const bool serverEmptied = theirs.empty() && removed.size() == state_.days.size();
        if (serverEmptied || !localKept) {
            result_.refusedEmpty = true;
            Fail(serverEmptied ? "every memo is gone from the server at once: nothing was changed"
                               : "every memo is gone from the memo file at once: nothing was changed");
            return result_;
        }
    }

    std::set<std::string> dates;
    for (const auto& [date, text] : local) dates.insert(date);
    for (const auto& [date, item] : state_.days) dates.insert(date);
    for (const auto& [date, day] : theirs) dates.insert(date);

    StoreEdits edits;
    std::map<std::string, TheirDay> newBases;
    std::vector<Outgoing> outgoing;
    for (const std::string& date : dates) {
        if (frozen.contains(date)) continue;
        const auto known = state_.days.find(date);
        const bool hasBase = known != state_.days.end();
        const std::string base = hasBase ? known->second.base : "";
        const auto mine = local.find(date);
        const std::optional<std::string> ours =
            mine == local.end() ? std::nullopt : std::optional(ServerTextOfMemo(mine->second, base));
        const auto their = theirs.find(date);
        const bool serverGone = removed.contains(date);
        const bool serverChanged = their != theirs.end() || serverGone;
        const bool localChanged = hasBase ? ours != base : ours.has_value();
        const std::string href = hasBase ? known->second.href : collection_.HrefFor(DayUid(date));

        if (!serverChanged) {
            if (!localChanged) continue;
            if (ours) {
                outgoing.push_back({date, href, *ours, hasBase ? known->second.etag : "", false});
            } else {
                outgoing.push_back({date, href, "", known->second.etag, true});
            }
            continue;
        }
        if (serverGone) {
            if (!localChanged) {
                if (ours) edits[date] = std::nullopt;
                state_.days.erase(date);
                ++result_.deletedDown;
            } else if (ours) {
                // Edited here, deleted there: the edit comes back as a new item.
                state_.days.erase(date);
                outgoing.push_back({date, collection_.HrefFor(DayUid(date)), *ours, "", false});
            } else {
                state_.days.erase(date);
            }
            continue;
        }
        const TheirDay& server = their->second;
        if (!localChanged || !ours) {
            // Unchanged here, or deleted here and edited there (the edit wins): take theirs.
            edits[date] = MemoOfServerText(server.text);
            newBases[date] = server;
            ++result_.down;
            continue;
        }
        const LineMerge merged = MergeLines(hasBase ? base : "", *ours, server.text, marker_);
        if (merged.text == server.text) {
            if (*ours != server.text) edits[date] = MemoOfServerText(server.text);
            newBases[date] = server;
            if (*ours != server.text) ++result_.down;
            if (edits.contains(date)) continue;
            state_.days[date] = ItemState{server.href, server.etag, server.text};
            continue;
        }
        ++(merged.conflict ? result_.keptBoth : result_.merged);
        const std::string memo = MemoOfServerText(merged.text);
        if (memo != mine->second) edits[date] = memo;
        newBases[date] = server;
        if (!edits.contains(date)) state_.days[date] = ItemState{server.href, server.etag, server.text};
        outgoing.push_back({date, server.href, merged.text, server.etag, false});
    }
    for (auto it = newBases.begin(); it != newBases.end();) {
        it = edits.contains(it->first) ? std::next(it) : newBases.erase(it);
    }

    if (!Apply(edits, newBases)) return result_;
    state_.token = token;
    if (!Save()) return result_;
    for (Outgoing& request : outgoing) {
        if (!Send(std::move(request))) break;
    }
    // A failure of the pass stays the one it tells: Fail keeps the first error.
    if (unsaved_ > 0) Save();
    return result_;
}

}  // namespace

SyncResult Sync(const SyncInput& input, Collection& collection, SyncState& state, SyncSink& sink) {
    return Pass(input, collection, state, sink).Run();
}

}  // namespace memosync
