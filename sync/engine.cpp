#include "sync/engine.h"

#include "model/calendar_math.h"
#include "model/memo_store.h"
#include "model/record.h"
#include "sync/event_lines.h"
#include "sync/mapping.h"
#include "sync/merge.h"
#include "sync/text.h"

#include <algorithm>
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
        // What stands before a record's year (the line break a hand-edited file puts after each
        // "~") belongs to the file's layout, not to the record: it stays when the record changes.
        const std::size_t year = record.find_first_not_of(" \t\r\n");
        if (edit == edits.end()) {
            // Blanks after the last record stay blanks; a last record cut short is closed.
            out += rest.empty() && year != std::string_view::npos ? CloseRecord(record) : std::string(record);
            continue;
        }
        done.insert(date.date);
        if (!edit->second) continue;
        out += record.substr(0, year);
        AppendMemoRecord(out, date.year, date.month, date.day, *edit->second);
    }
    for (const auto& [day, text] : edits) {
        if (done.contains(day) || !text) continue;
        const RecordDate date = RecordOfDate(day);
        AppendMemoRecord(out, date.year, date.month, date.day, *text);
    }
    return out;
}

// The mirrored lines of one date, in the order a memo shows them: by their text (a time first
// sorts the day), then by href.
struct DatedLine {
    std::string href;
    std::string text;
    bool whole = false;
};
using Events = std::map<std::string, EventItem>;

std::map<std::string, std::vector<DatedLine>> LinesByDate(const Events& events) {
    std::map<std::string, std::vector<DatedLine>> out;
    for (const auto& [href, item] : events) {
        for (const EventLine& line : item.lines) out[line.date].push_back({href, line.text, item.whole});
    }
    for (auto& [date, lines] : out) {
        std::ranges::sort(lines, [](const DatedLine& a, const DatedLine& b) {
            return a.text != b.text ? a.text < b.text : a.href < b.href;
        });
    }
    return out;
}

using LinesOfDates = std::map<std::string, std::vector<DatedLine>>;

std::vector<std::string> TextsOn(const LinesOfDates& byDate, const std::string& date) {
    std::vector<std::string> out;
    const auto it = byDate.find(date);
    if (it == byDate.end()) return out;
    for (const DatedLine& line : it->second) out.push_back(line.text);
    return out;
}

bool ShowsLine(const EventItem& item, const std::string& date, const std::string& text) {
    return std::ranges::any_of(item.lines, [&](const EventLine& l) { return l.date == date && l.text == text; });
}

std::string WithLine(std::string own, const std::string& utf8) {
    if (!own.empty()) own += "\r\n";
    return own + MemoOfServerText(utf8);
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
    LocalDays OwnDays(const LocalDays& whole, std::set<std::string>& recompose);
    bool PrepareLineEdits(LocalDays& local, std::set<std::string>& recompose);
    bool SendEvents();
    std::string EventYears() const { return std::to_string(fromYear_) + "-" + std::to_string(toYear_); }
    std::string Compose(const std::string& date, const std::string& own) const {
        return ComposeDay(own, TextsOn(finalLines_, date));
    }
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
    int fromYear_ = 0;
    int toYear_ = 0;
    // Events made elsewhere: as the server holds them now where they changed, gone there, and the
    // lines the memos show once this pass is done (edits here included).
    Events theirEvents_;
    std::set<std::string> goneEvents_;
    Events finalEvents_;
    std::map<std::string, std::vector<DatedLine>> finalLines_;  // finalEvents_'s lines by date
    std::map<std::string, std::string> lineEdits_;              // href -> the line as edited here (UTF-8)
    std::set<std::string> lineDeletes_;                         // hrefs whose line was deleted here
    std::map<std::string, std::string> editedIcal_;             // href -> the event as it is to be stored
    Events editedItems_;                                        // href -> its lines once stored
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
    // An event's new lines are its state only once the store shows them and no longer the old ones.
    const auto memoOf = [&](const std::string& date) -> const std::string& {
        const auto it = local.find(date);
        return it == local.end() ? kNoMemo : it->second;
    };
    for (const auto& [href, pending] : state_.pendingEvents) {
        const auto old = state_.events.find(href);
        bool shown = true;
        if (!pending.gone) {
            for (const EventLine& line : pending.item.lines)
                shown = shown && MemoHoldsLine(memoOf(line.date), line.text);
        }
        if (old != state_.events.end()) {
            for (const EventLine& line : old->second.lines) {
                if (pending.gone || !ShowsLine(pending.item, line.date, line.text))
                    shown = shown && !MemoHoldsLine(memoOf(line.date), line.text);
            }
        }
        if (!shown) continue;
        if (pending.gone)
            state_.events.erase(href);
        else
            state_.events[href] = pending.item;
    }
    state_.pendingEvents.clear();
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
        for (const auto& [href, item] : state_.events) {
            if (!listed.contains(href)) gone.insert(href);
        }
    }
    std::vector<std::string> wanted;
    for (const std::string& href : changes->changedHrefs) {
        if (gone.contains(href)) continue;
        const auto etag = changes->etags.find(href);
        const auto date = dateOfHref.find(href);
        const bool known = etag != changes->etags.end() && !etag->second.empty() &&
                           ((date != dateOfHref.end() && state_.days[date->second].etag == etag->second) ||
                            (state_.others.contains(href) && state_.others[href] == etag->second) ||
                            (state_.events.contains(href) && state_.events[href].etag == etag->second));
        if (!known) wanted.push_back(href);
    }
    for (const std::string& href : gone) {
        state_.others.erase(href);
        if (state_.events.contains(href)) goneEvents_.insert(href);
        const auto date = dateOfHref.find(href);
        if (date != dateOfHref.end()) removed.insert(date->second);
    }
    // Other years than last time: every event is read again for its lines in those years.
    if (state_.eventYears != EventYears()) {
        const std::set<std::string> asked(wanted.begin(), wanted.end());
        for (const auto& [href, item] : state_.events) {
            if (!asked.contains(href) && !gone.contains(href)) wanted.push_back(href);
        }
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
        if (read.kind == ItemKind::Other) {
            if (auto event = ReadEventLines(item.ical, fromYear_, toYear_)) {
                event->etag = item.etag;
                theirEvents_[item.href] = std::move(*event);
                state_.others.erase(item.href);
                ++result_.otherEvents;
                continue;
            }
            state_.others[item.href] = item.etag;
            continue;
        }
        state_.others[item.href] = item.etag;
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
        if (!fetched.contains(href) && state_.events.contains(href)) goneEvents_.insert(href);
    }
    return true;
}

bool Pass::Apply(const StoreEdits& edits, const std::map<std::string, TheirDay>& newBases) {
    for (const auto& [href, item] : theirEvents_) state_.pendingEvents[href] = PendingEvent{false, item};
    for (const std::string& href : goneEvents_) state_.pendingEvents[href] = PendingEvent{true, {}};
    theirEvents_.clear();
    goneEvents_.clear();
    if (edits.empty()) {
        // No memo changes: the lines they bring are shown already (or fall outside the years).
        FinishJournal(ReadLocalDays(store_));
        return true;
    }
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
        const std::string memo = Compose(request.date, MemoOfServerText(merged.text));
        const LocalDays local = ReadLocalDays(store_);
        const auto current = local.find(request.date);
        // A memo that already says what the merge says keeps its bytes, its line breaks among them.
        if (current == local.end() || ServerTextOfMemo(current->second, base) != ServerTextOfMemo(memo, base)) {
            if (!Apply({{request.date, memo}}, {{request.date, *now}})) return false;
        } else {
            state_.days[request.date] = ItemState{now->href, now->etag, now->text};
            if (!Save()) return false;
        }
        if (merged.text == now->text) {
            // Only what differed from ours came down; the same text stored by both moved nothing.
            if (merged.text != request.text) ++result_.down;
            return true;
        }
        request = Outgoing{request.date, now->href, merged.text, now->etag, false};
    }
}

LocalDays Pass::OwnDays(const LocalDays& whole, std::set<std::string>& recompose) {
    LocalDays own;
    const auto expectedByDate = LinesByDate(state_.events);
    std::set<std::string> dates;
    for (const auto& [date, memo] : whole) dates.insert(date);
    for (const auto& [date, lines] : expectedByDate) dates.insert(date);
    for (const std::string& date : dates) {
        const auto held = whole.find(date);
        const std::string& memo = held == whole.end() ? kNoMemo : held->second;
        const auto expected = expectedByDate.find(date);
        if (expected == expectedByDate.end()) {
            own[date] = memo;
            continue;
        }
        std::vector<ExpectedLine> lines;
        for (const DatedLine& line : expected->second) lines.push_back({line.href, line.text, !line.whole});
        const auto known = state_.days.find(date);
        const DayLines split = SplitDay(memo, lines, known == state_.days.end() ? "" : known->second.base);
        // A line of an event shown on several days stands for the event as its calendar holds it:
        // it comes back, and what the user wrote in its place stays as a line of the memo's own.
        if (split.lost) recompose.insert(date);
        std::string text = split.own;
        for (const auto& [href, edit] : split.edited) {
            const auto their = theirEvents_.find(href);
            if (their == theirEvents_.end() && !goneEvents_.contains(href)) {
                if (edit)
                    lineEdits_[href] = *edit;
                else
                    lineDeletes_.insert(href);
                continue;
            }
            // Changed there too: the event shows as it is there now (an edit beats a delete), and
            // an edit made here that it does not show stays as the user's own line.
            recompose.insert(date);
            if (edit && (their == theirEvents_.end() || !ShowsLine(their->second, date, *edit)))
                text = WithLine(text, *edit);
        }
        if (!text.empty()) own[date] = text;
    }
    return own;
}

bool Pass::PrepareLineEdits(LocalDays& local, std::set<std::string>& recompose) {
    if (lineEdits_.empty()) return true;
    std::vector<std::string> hrefs;
    for (const auto& [href, text] : lineEdits_) hrefs.push_back(href);
    std::string error;
    const auto items = collection_.Fetch(hrefs, error);
    if (!items) return Fail(error);
    for (const RemoteItem& item : *items) {
        const auto edit = lineEdits_.find(item.href);
        const auto known = state_.events.find(item.href);
        // Changed on the server since the last pass: the next pass takes that change first.
        if (edit == lineEdits_.end() || known == state_.events.end() || known->second.etag != item.etag) continue;
        const EventLine& old = known->second.lines.front();
        const auto ical = EditedEventCalendar(item.ical, old.text, edit->second);
        auto lines = ical ? ReadEventLines(*ical, fromYear_, toYear_) : std::nullopt;
        if (!lines || !ShowsLine(*lines, old.date, edit->second)) {
            // The event cannot take this line as it is: the line stays the user's own, the event's comes back.
            local[old.date] =
                local.contains(old.date) ? WithLine(local[old.date], edit->second) : MemoOfServerText(edit->second);
            recompose.insert(old.date);
            continue;
        }
        editedIcal_[item.href] = *ical;
        lines->etag = item.etag;
        editedItems_[item.href] = std::move(*lines);
    }
    return true;
}

bool Pass::SendEvents() {
    for (const auto& [href, ical] : editedIcal_) {
        ++result_.puts;
        const PutResult put = collection_.Put(href, ical, state_.events[href].etag);
        if (put.outcome == PutOutcome::Failed) return Fail(put.error);
        // A 412 leaves the line as edited here: the next pass takes the server's event and keeps
        // the edit as a line of the memo's own.
        if (put.outcome != PutOutcome::Stored) continue;
        EventItem item = editedItems_[href];
        item.etag = put.etag;
        state_.events[href] = std::move(item);
        ++result_.eventsUp;
        if (!SaveSoon()) return false;
    }
    for (const std::string& href : lineDeletes_) {
        ++result_.deletes;
        std::string error;
        const PutOutcome outcome = collection_.Delete(href, state_.events[href].etag, error);
        if (outcome == PutOutcome::Failed) return Fail(error);
        // A 412: the event changed there, and its line comes back at the next pass.
        if (outcome != PutOutcome::Stored) continue;
        state_.events.erase(href);
        ++result_.eventsDeleted;
        if (!SaveSoon()) return false;
    }
    return true;
}

SyncResult Pass::Run() {
    result_.ok = true;
    fromYear_ = input_.fromYear;
    toYear_ = input_.toYear;
    if (fromYear_ == 0 && toYear_ == 0) {
        const int year = input_.now.size() >= 4 ? std::atoi(input_.now.substr(0, 4).c_str()) : 0;
        fromYear_ = year - 1;
        toYear_ = year + 1;
    }
    const LocalDays whole = ReadLocalDays(store_);
    FinishJournal(whole);

    std::map<std::string, TheirDay> theirs;
    std::set<std::string> removed;
    std::set<std::string> frozen;
    std::string token;
    if (!TakeChanges(theirs, removed, frozen, token)) return result_;

    // Each day's memo without the lines that mirror events: those are the events' own business.
    std::set<std::string> recompose;
    LocalDays local = OwnDays(whole, recompose);
    // A side that lost every item at once was more likely emptied by mistake than by hand. The
    // events count with the days: those that show lines here, on the memo file's side.
    std::size_t shownEvents = 0;
    bool localKept = false;
    for (const auto& [date, item] : state_.days) localKept = localKept || local.contains(date);
    for (const auto& [href, item] : state_.events) {
        shownEvents += item.lines.empty() ? 0 : 1;
        for (const EventLine& line : item.lines) localKept = localKept || whole.contains(line.date);
    }
    const std::size_t knownItems = state_.days.size() + state_.events.size();
    if (!input_.acceptEmpty && knownItems >= 2) {
        const bool serverEmptied =
            theirs.empty() && theirEvents_.empty() && removed.size() + goneEvents_.size() == knownItems;
        if (serverEmptied || (!localKept && state_.days.size() + shownEvents >= 2)) {
            result_.refusedEmpty = true;
            Fail(serverEmptied ? "every memo is gone from the server at once: nothing was changed"
                               : "every memo is gone from the memo file at once: nothing was changed");
            return result_;
        }
    }
    // A line the memo holds already as its own that a new event shows is that event's from now on,
    // rather than shown twice (an import of the same event, or a first sync of a second device).
    for (const auto& [href, item] : theirEvents_) {
        if (state_.events.contains(href)) continue;
        for (const EventLine& line : item.lines) {
            const auto own = local.find(line.date);
            if (own == local.end() || !TakeLine(own->second, line.text)) continue;
            if (own->second.empty()) local.erase(own);
        }
    }
    if (!PrepareLineEdits(local, recompose)) return result_;
    finalEvents_ = state_.events;
    for (const auto& [href, item] : theirEvents_) {
        const auto old = state_.events.find(href);
        const bool same = old != state_.events.end() &&
                          std::ranges::equal(old->second.lines, item.lines, [](const EventLine& a, const EventLine& b) {
                              return a.date == b.date && a.text == b.text;
                          });
        if (!same) ++result_.eventsDown;
        if (old != state_.events.end()) {
            for (const EventLine& line : old->second.lines) recompose.insert(line.date);
        }
        for (const EventLine& line : item.lines) recompose.insert(line.date);
        finalEvents_[href] = item;
    }
    for (const std::string& href : goneEvents_) {
        const auto old = state_.events.find(href);
        if (old == state_.events.end()) continue;
        ++result_.eventsDown;
        for (const EventLine& line : old->second.lines) recompose.insert(line.date);
        finalEvents_.erase(href);
    }
    for (const auto& [href, item] : editedItems_) {
        for (const EventLine& line : state_.events[href].lines) recompose.insert(line.date);
        for (const EventLine& line : item.lines) recompose.insert(line.date);
        finalEvents_[href] = item;
    }
    for (const std::string& href : lineDeletes_) finalEvents_.erase(href);
    finalLines_ = LinesByDate(finalEvents_);

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
    // The memos to write: each day's own lines as merged, then the lines of its events.
    for (const auto& [date, text] : edits) recompose.insert(date);
    StoreEdits memos;
    for (const std::string& date : recompose) {
        const auto edit = edits.find(date);
        const auto own = local.find(date);
        const std::string ownText = edit != edits.end()  ? edit->second.value_or("")
                                    : own == local.end() ? ""
                                                         : own->second;
        const std::string memo = Compose(date, ownText);
        const auto now = whole.find(date);
        if (memo.empty()) {
            if (now != whole.end()) memos[date] = std::nullopt;
        } else if (now == whole.end() || now->second != memo) {
            memos[date] = memo;
        }
    }
    for (auto it = newBases.begin(); it != newBases.end();) {
        if (memos.contains(it->first)) {
            ++it;
            continue;
        }
        // The store holds this day as merged already.
        if (edits.contains(it->first))
            state_.days[it->first] = ItemState{it->second.href, it->second.etag, it->second.text};
        it = newBases.erase(it);
    }

    if (!Apply(memos, newBases)) return result_;
    state_.token = token;
    state_.eventYears = EventYears();
    if (!Save()) return result_;
    bool sent = true;
    for (Outgoing& request : outgoing) {
        if (!Send(std::move(request))) {
            sent = false;
            break;
        }
    }
    if (sent) SendEvents();
    // A failure of the pass stays the one it tells: Fail keeps the first error.
    if (unsaved_ > 0) Save();
    return result_;
}

}  // namespace

SyncResult Sync(const SyncInput& input, Collection& collection, SyncState& state, SyncSink& sink) {
    return Pass(input, collection, state, sink).Run();
}

}  // namespace memosync
