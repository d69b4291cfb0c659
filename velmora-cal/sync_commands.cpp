#include "velmora-cal/sync_commands.h"

#include "model/copy_socket.h"
#include "model/data_files.h"
#include "model/file_notices.h"
#include "model/folder_holder.h"
#include "model/record.h"
#include "model/year_calendar.h"
#include "sync/caldav.h"
#include "sync/config.h"
#include "sync/engine.h"
#include "sync/folder_pass.h"
#include "sync/http.h"
#include "sync/pass_answer.h"
#include "sync/secret.h"
#include "sync/state.h"
#include "velmora-cal/exit_status.h"
#include "velmora-cal/folder_lock.h"
#include "velmora-cal/messages.h"
#include "velmora-cal/terminal_password.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>

namespace cal {
namespace {

using memosync::ConfigLoad;
using memosync::SyncConfig;

constexpr const char* kDefaultCalendar = "Velmora";
constexpr const char* kStateFileName = "state.txt";
// How long the calendar holding the folder may take to take the request, and how long a calendar
// that does not answer is waited for before the command gives up.
constexpr int kReachCalendarMs = 2000;
constexpr int kLockWaitMs = 60000;

std::string NothingChanged() { return Tr("; nothing changed", "。何も変更していません"); }

std::string NotSetUp(const Options& options) {
    return options.folder + Tr(" is not set up for sync; velmora-cal sync setup URL does it",
                               " は同期の設定がありません。velmora-cal sync setup URL で設定してください");
}

// Reads the folder's set-up; complains and returns the exit status when there is none to use.
std::optional<int> LoadConfig(const Options& options, SyncConfig& config) {
    switch (memosync::LoadSyncConfig(options.folder, config)) {
    case ConfigLoad::Loaded:
        return std::nullopt;
    case ConfigLoad::Missing:
        Complain(NotSetUp(options));
        return kExitRefused;
    case ConfigLoad::Unreadable:
        Complain(Tr("cannot read the sync set-up ", "同期の設定を読めません: ") +
                 memosync::SyncConfigPath(options.folder) + NothingChanged());
        return kExitFailed;
    }
    return kExitFailed;
}

memosync::HttpOptions HttpOptionsOf(const SyncConfig& config, const std::string& password) {
    memosync::HttpOptions http;
    http.user = config.user;
    http.password = password;
    http.caFile = config.caFile;
    return http;
}

// Returns the password the set-up names, or "" for a server without credentials; complains when
// it cannot be had.
std::optional<std::string> PasswordOf(const SyncConfig& config) {
    if (config.user.empty()) return std::string();
    std::string error;
    std::optional<std::string> password = memosync::LookUpPassword(config, error);
    if (!password) Complain(error + NothingChanged());
    return password;
}

// Returns what a pass moved; `stopped`: it failed after moving that much.
std::string PassReport(const memosync::SyncResult& result, const std::string& calendar, bool stopped) {
    const auto n = [](int count) { return std::to_string(count); };
    if (JapaneseMessages())
        return calendar + (stopped ? " との同期は途中で止まりました。それまでに: 送信 " : " と同期しました: 送信 ") +
               n(result.up) + "、受信 " + n(result.down) + "、統合 " + n(result.merged) + "、両方を残した日 " +
               n(result.keptBoth) + "、サーバーで削除 " + n(result.deletedUp) + "、ここで削除 " +
               n(result.deletedDown) + "\n";
    return (stopped ? "the sync with " + calendar + " stopped after: up " : "synced with " + calendar + ": up ") +
           n(result.up) + ", down " + n(result.down) + ", merged " + n(result.merged) + ", kept both " +
           n(result.keptBoth) + ", deleted on the server " + n(result.deletedUp) + ", deleted here " +
           n(result.deletedDown) + "\n";
}

// Reports a pass, velmora-cal's own or the running calendar's: what it left alone, why it stopped
// and what moved; returns the exit status.
int ReportPass(const memosync::SyncResult& result, int skippedLeftOff, const std::string& calendar) {
    for (const memosync::SkippedItem& skipped : result.skipped)
        Complain(skipped.href + ": " + skipped.reason +
                 Tr(" (left as it is on the server)", "（サーバーのものはそのままにします）"));
    if (skippedLeftOff > 0)
        Complain(Tr("and ", "ほかに ") + std::to_string(skippedLeftOff) +
                 Tr(" more items that could not be read (left as they are on the server)",
                    " 件の読めない項目があります（サーバーのものはそのままにします）"));
    if (result.refusedEmpty) {
        Complain(result.error +
                 Tr("; velmora-cal sync --accept-empty mirrors it", "。velmora-cal sync --accept-empty で反映します"));
        return kExitRefused;
    }
    if (!result.ok) {
        // What had moved before the failure is kept on both sides; the next pass goes on from there.
        Complain(result.error);
        if (result.up + result.down + result.merged + result.keptBoth + result.deletedUp + result.deletedDown > 0)
            std::fputs(PassReport(result, calendar, true).c_str(), stdout);
        return kExitFailed;
    }
    std::fputs(PassReport(result, calendar, false).c_str(), stdout);
    return kExitOk;
}

// One pass of velmora-cal's own, while it holds the folder's lock; returns the exit status.
int OwnPass(const Options& options, const SyncConfig& config) {
    const std::optional<std::string> password = PasswordOf(config);
    if (!password) return kExitFailed;
    LoadMemoData();
    if (IsUnreadableFile(kMemoFile)) {
        Complain(std::string(Tr("cannot read ", "読めません: ")) + kMemoFile + NothingChanged());
        return kExitFailed;
    }
    // The pass reads and writes the store as it is in memory: a memo's lines end in CR LF there,
    // as the calendar's day dialog writes them.
    const memosync::StoreWriter write = [](const std::string& store, std::string& error) {
        g_strMemoData = store;
        if (SaveMemoData() != 0) return true;
        error = std::string("cannot write ") + kMemoFile;
        return false;
    };
    const memosync::SyncResult result = memosync::RunFolderPass(
        config, *password, memosync::PassInputAt(g_strMemoData, CurrentLocalTime(), options.Has(kOptionAcceptEmpty)),
        write);
    for (const FileNotice& notice : TakeFileNotices())
        if (!notice.path.empty())
            Complain(Tr("kept a copy of the old file: ", "元のファイルを残しました: ") + notice.path);
    return ReportPass(result, 0, config.calendarUrl);
}

// Asks the calendar that holds the folder for a pass and reports it; returns the exit status, or
// std::nullopt when the calendar cannot be reached or ends the request without an answer.
std::optional<int> PassThroughCalendar(const Options& options, const SyncConfig& config) {
    std::string problem;
    const std::string socket = copy_socket::SocketPath(options.folder, problem);
    if (socket.empty()) {
        Complain(problem);
        return std::nullopt;
    }
    // A calendar that has just taken the lock may not listen yet.
    const int descriptor = copy_socket::SendRequest(
        socket, options.Has(kOptionAcceptEmpty) ? copy_socket::kSyncAcceptEmptyRequest : copy_socket::kSyncRequest,
        kReachCalendarMs);
    if (descriptor < 0) return std::nullopt;
    Complain(Tr("the calendar running in ", "") + options.folder +
             Tr(" syncs it; waiting for its pass", " で動いているカレンダーが同期します。その同期を待っています"));
    // The calendar drops a peer it has kept waiting this long; the answer comes before that or never.
    const std::optional<std::string> answer =
        copy_socket::ReadAnswer(descriptor, memosync::kMaxPassAnswerBytes, copy_socket::kPassWaitMs + kReachCalendarMs);
    ::close(descriptor);
    if (!answer) return std::nullopt;
    if (*answer == copy_socket::kNotSyncingAnswer) {
        Complain(Tr("the calendar running in ", "") + options.folder +
                 Tr(" does not sync it; close the calendar and try again",
                    " で動いているカレンダーは同期しません。カレンダーを終了してからやり直してください") +
                 NothingChanged());
        return kExitRefused;
    }
    const std::optional<memosync::PassAnswer> pass = memosync::DecodePassAnswer(*answer);
    if (!pass) {
        Complain(Tr("the calendar running in ", "") + options.folder +
                 Tr(" gave an answer velmora-cal cannot read", " で動いているカレンダーの答えを読めません"));
        return kExitFailed;
    }
    return ReportPass(pass->result, pass->skippedLeftOff, config.calendarUrl);
}

// Takes the folder's lock into `held`, trying again while another process holds it, for at most
// kLockWaitMs; returns once it is held, the time is up or the lock cannot be had at all.
void WaitForLock(std::optional<CommandLock>& held) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kLockWaitMs);
    while (!held->Lock().Held() && held->Lock().GetState() == FolderLock::State::Busy &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        held.emplace();
    }
}

}  // namespace

int RunSync(const Options& options) {
    if (!options.operands.empty())
        return UsageProblem(Tr("unknown sync command: ", "不明な sync のコマンドです: ") + options.operands[0], "sync");
    SyncConfig config;
    if (const std::optional<int> refused = LoadConfig(options, config)) return *refused;
    // Held for the whole pass: a calendar started meanwhile stays out, and one running keeps us out.
    std::optional<CommandLock> held;
    held.emplace();
    if (!held->Lock().Held() && held->Lock().GetState() == FolderLock::State::Busy && !ReadFolderHolder({})) {
        // The calendar holds the folder and is its only writer: its pass is the one that runs. One
        // that cannot be asked is waited for, briefly, as it may be ending.
        if (const std::optional<int> status = PassThroughCalendar(options, config)) return *status;
        Complain(
            Tr("the calendar running in ", "") + options.folder +
            Tr(" does not answer; waiting for it to end", " で動いているカレンダーが応答しません。終了を待っています"));
        WaitForLock(held);
    }
    const FolderLock& lock = held->Lock();
    if (!lock.Held()) {
        Complain(lock.GetState() == FolderLock::State::Busy ? BusyRefusal(true) : LockRefusal(lock));
        return kExitRefused;
    }
    return OwnPass(options, config);
}

int RunSyncSetup(const Options& options) {
    if (options.operands.size() != 1)
        return UsageProblem(Tr("sync setup takes the server's URL", "sync setup にはサーバーの URL を指定してください"),
                            "sync setup");
    const std::string& url = options.operands[0];
    if (url.rfind("https://", 0) != 0 && url.rfind("http://", 0) != 0)
        return UsageProblem(Tr("not an http or https URL: ", "http か https の URL ではありません: ") + Quoted(url),
                            "sync setup");
    // A password written into the URL would end up in the set-up file, which never holds one.
    const std::size_t authority = url.find("//") + 2;
    if (url.substr(authority, url.find('/', authority) - authority).find('@') != std::string::npos)
        return UsageProblem(Tr("the URL holds a user name or password; give the user with --user",
                               "URL にユーザー名かパスワードが含まれています。ユーザー名は --user で指定してください"),
                            "sync setup");
    SyncConfig config;
    switch (memosync::LoadSyncConfig(options.folder, config)) {
    case ConfigLoad::Loaded:
        Complain(options.folder + Tr(" is set up already with ", " はすでに次のカレンダーと同期する設定です: ") +
                 config.calendarUrl +
                 Tr("; velmora-cal sync forget removes it first", "。先に velmora-cal sync forget で消してください"));
        return kExitRefused;
    case ConfigLoad::Unreadable:
        Complain(Tr("cannot read the sync set-up ", "同期の設定を読めません: ") +
                 memosync::SyncConfigPath(options.folder) + NothingChanged());
        return kExitFailed;
    case ConfigLoad::Missing:
        break;
    }
    config.folder = options.folder;
    config.url = url;
    config.user = options.user;
    config.passwordCommand = options.passwordCommand;
    if (options.Has(kOptionCa)) {
        config.caFile = ResolvePath(options.caFile, options.here);
        if (::access(config.caFile.c_str(), R_OK) != 0) {
            Complain(Tr("cannot read the CA file ", "CA ファイルを読めません: ") + config.caFile + NothingChanged());
            return kExitRefused;
        }
    }
    std::string password;
    if (!config.user.empty()) {
        std::string error;
        std::optional<std::string> given = config.passwordCommand.empty()
                                               ? AskPassword(Tr("Password for ", "パスワード（") + config.user +
                                                                 Tr(" at ", "、") + url + Tr(": ", "）: "),
                                                             error)
                                               : memosync::RunPasswordCommand(config.passwordCommand, error);
        if (!given) {
            Complain(error + NothingChanged());
            return kExitRefused;
        }
        password = *given;
    }
    memosync::HttpClient http(HttpOptionsOf(config, password));
    std::string error;
    const std::optional<memosync::Discovery> found =
        memosync::DiscoverCalendar(http, url, options.calendar.empty() ? kDefaultCalendar : options.calendar, error);
    if (!found) {
        Complain(error + NothingChanged());
        return kExitFailed;
    }
    config.calendarUrl = found->calendarUrl;
    if (!config.user.empty() && config.passwordCommand.empty() && !memosync::StorePassword(config, password, error)) {
        Complain(error + Tr("; nothing kept (--password-command CMD takes the password from a command instead)",
                            "。何も保存していません（--password-command CMD ならコマンドからパスワードを取ります）"));
        return kExitFailed;
    }
    if (!memosync::SaveSyncConfig(config)) {
        // The password is not left behind without the set-up that names it.
        if (!config.user.empty() && config.passwordCommand.empty()) memosync::ClearPassword(config, error);
        Complain(Tr("cannot write the sync set-up ", "同期の設定を書き込めません: ") +
                 memosync::SyncConfigPath(options.folder) + NothingChanged());
        return kExitFailed;
    }
    std::printf(JapaneseMessages() ? "%s をカレンダー %s（%s）と同期する設定にしました。velmora-cal sync で同期します\n"
                                   : "%s is set up to sync with the calendar %s (%s); velmora-cal sync syncs it now\n",
                options.folder.c_str(), config.calendarUrl.c_str(),
                found->created ? Tr("made now", "新しく作成") : Tr("found on the server", "サーバーにあったもの"));
    return kExitOk;
}

int RunSyncStatus(const Options& options) {
    if (!options.operands.empty())
        return UsageProblem(Tr("sync status takes no operand", "sync status には引数を指定できません"), "sync status");
    SyncConfig config;
    if (const std::optional<int> refused = LoadConfig(options, config)) return *refused;
    const std::string stateFolder = memosync::StateFolder(options.folder, config.calendarUrl);
    const std::optional<memosync::SyncState> state = memosync::LoadSyncState(stateFolder);
    std::string text = Tr("folder:   ", "フォルダ:       ") + options.folder + "\n" +
                       Tr("server:   ", "サーバー:       ") + config.url + "\n" + Tr("calendar: ", "カレンダー:     ") +
                       config.calendarUrl + "\n" + Tr("user:     ", "ユーザー:       ") +
                       (config.user.empty() ? Tr("(none)", "（なし）") : config.user) + "\n";
    if (!config.user.empty())
        text += Tr("password: ", "パスワード:     ") +
                (config.passwordCommand.empty() ? Tr("in the Secret Service", "シークレットサービス")
                                                : Tr("from the command ", "コマンド ") + config.passwordCommand) +
                "\n";
    if (!config.caFile.empty()) text += Tr("CA:       ", "CA:             ") + config.caFile + "\n";
    if (!state) {
        std::fputs(text.c_str(), stdout);
        Complain(Tr("cannot read the sync state in ", "同期の状態を読めません: ") + stateFolder);
        return kExitFailed;
    }
    if (state->days.empty() && state->token.empty())
        text += Tr("state:    never synced\n", "状態:           まだ同期していません\n");
    else
        text +=
            Tr("state:    ", "状態:           ") +
            (JapaneseMessages() ? std::to_string(state->days.size()) + " 件のメモが同期済み"
                                : Counted(static_cast<long long>(state->days.size()), "memo", "memos") + " in sync") +
            (state->pending.empty() ? std::string()
                                    : Tr(", ", "、") + std::to_string(state->pending.size()) +
                                          Tr(" left by a pass that was stopped", " 件は中断された同期の続き")) +
            "\n";
    std::fputs(text.c_str(), stdout);
    return kExitOk;
}

int RunSyncForget(const Options& options) {
    if (!options.operands.empty())
        return UsageProblem(Tr("sync forget takes no operand", "sync forget には引数を指定できません"), "sync forget");
    SyncConfig config;
    if (const std::optional<int> refused = LoadConfig(options, config)) return *refused;
    // A pass under way keeps its state: the set-up goes only when none runs, and never from under
    // a calendar that syncs with it.
    const CommandLock held;
    const FolderLock& lock = held.Lock();
    if (!lock.Held()) {
        const bool calendar = lock.GetState() == FolderLock::State::Busy && !ReadFolderHolder({});
        Complain(calendar ? Tr("the calendar running in this folder syncs it; close the calendar first",
                               "このフォルダで動いているカレンダーが同期しています。先にカレンダーを終了してください") +
                                NothingChanged()
                 : lock.GetState() == FolderLock::State::Busy ? BusyRefusal(true)
                                                              : LockRefusal(lock));
        return kExitRefused;
    }
    std::string error;
    if (!config.user.empty() && config.passwordCommand.empty() && !memosync::ClearPassword(config, error)) {
        Complain(error + NothingChanged());
        return kExitFailed;
    }
    const std::string stateFolder = memosync::StateFolder(options.folder, config.calendarUrl);
    if (!stateFolder.empty()) {
        ::unlink((stateFolder + "/" + kStateFileName).c_str());
        ::rmdir(stateFolder.c_str());
    }
    if (!memosync::RemoveSyncConfig(options.folder)) {
        Complain(Tr("cannot remove the sync set-up ", "同期の設定を削除できません: ") +
                 memosync::SyncConfigPath(options.folder));
        return kExitFailed;
    }
    std::printf(JapaneseMessages() ? "%s の同期の設定を削除しました（サーバーのカレンダー %s はそのままです）\n"
                                   : "%s no longer syncs; the calendar %s on the server is as it was\n",
                options.folder.c_str(), config.calendarUrl.c_str());
    return kExitOk;
}

}  // namespace cal
