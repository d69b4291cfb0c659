// velmora-sync-pass: one sync pass of the data folder it is started in, for the calendar, which
// keeps the network, TLS and the Secret Service out of its own process. Standard input and output
// are one socket to the calendar (sync/worker_frames.h); --accept-empty mirrors an emptied side.

#include "model/year_calendar.h"
#include "sync/config.h"
#include "sync/folder_pass.h"
#include "sync/pass_answer.h"
#include "sync/secret.h"
#include "sync/worker_frames.h"

#include <sys/prctl.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <optional>
#include <string>

namespace {

constexpr int kCalendar = STDIN_FILENO;

memosync::SyncResult NotStarted(std::string error) {
    memosync::SyncResult result;
    result.error = std::move(error);
    return result;
}

memosync::SyncResult Pass(bool acceptEmpty) {
    std::string tag;
    std::string store;
    if (!memosync::ReadFrame(kCalendar, tag, store) || tag != "store") return NotStarted("no memo store was given");
    std::string folder(4096, '\0');
    if (::getcwd(folder.data(), folder.size()) == nullptr) return NotStarted("cannot tell the data folder");
    folder.resize(std::strlen(folder.c_str()));
    memosync::SyncConfig config;
    switch (memosync::LoadSyncConfig(folder, config)) {
    case memosync::ConfigLoad::Loaded:
        break;
    case memosync::ConfigLoad::Missing:
        return NotStarted(folder + " is not set up for sync");
    case memosync::ConfigLoad::Unreadable:
        return NotStarted("cannot read the sync set-up " + memosync::SyncConfigPath(folder));
    }
    const memosync::StoreWriter write = [](const std::string& written, std::string& error) {
        std::string answer;
        std::string refusal;
        if (!memosync::SendFrame(kCalendar, "write", written) || !memosync::ReadFrame(kCalendar, answer, refusal)) {
            error = "the calendar went away";
            return false;
        }
        if (answer == "ok") return true;
        error = refusal.empty() ? "the calendar refused the memos" : refusal;
        return false;
    };
    std::string password;
    if (!config.user.empty()) {
        std::string error;
        std::optional<std::string> found = memosync::LookUpPassword(config, error);
        if (!found) return NotStarted(error);
        password = std::move(*found);
    }
    return memosync::RunFolderPass(config, password, memosync::PassInputAt(store, CurrentLocalTime(), acceptEmpty),
                                   write);
}

}  // namespace

int main(int argc, char** argv) {
    // A calendar that dies takes its pass with it: a second calendar must never find this one
    // still sending requests beside its own pass. A kill anywhere is safe: the pass journals.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() == 1) return 1;
    const bool acceptEmpty = argc == 2 && std::strcmp(argv[1], "--accept-empty") == 0;
    const memosync::SyncResult result = Pass(acceptEmpty);
    return memosync::SendFrame(kCalendar, "result", memosync::EncodePassAnswer(result)) ? 0 : 1;
}
