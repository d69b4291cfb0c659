#include "sync/secret.h"

#include "model/whole_file.h"

#include <libsecret/secret.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

namespace memosync {
namespace {

// A password is one line; more than this is a command that prints something else.
constexpr std::size_t kMaxCommandOutput = std::size_t{64} << 10;

const SecretSchema* CalDavSchema() {
    static const SecretSchema schema = {"org.velmora.Velmora.CalDAV",
                                        SECRET_SCHEMA_NONE,
                                        {{"folder", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                         {"url", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                         {"user", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                         {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING}},
                                        0,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr};
    return &schema;
}

// Returns the service's message in one line and frees it.
std::string TakeMessage(GError* error) {
    std::string text = error != nullptr && error->message != nullptr ? error->message : "unknown error";
    if (error != nullptr) g_error_free(error);
    for (char& c : text)
        if (c == '\n' || c == '\r') c = ' ';
    return text;
}

}  // namespace

std::optional<std::string> RunPasswordCommand(const std::string& command, std::string& error) {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) {
        error = std::string("cannot run the password command: ") + std::strerror(errno);
        return std::nullopt;
    }
    const pid_t child = ::fork();
    if (child < 0) {
        error = std::string("cannot run the password command: ") + std::strerror(errno);
        ::close(out[0]);
        ::close(out[1]);
        return std::nullopt;
    }
    if (child == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(out[1]);
    const std::optional<std::string> output = ReadToEnd(out[0], kMaxCommandOutput);
    ::close(out[0]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {}
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        error = WIFEXITED(status) ? "the password command ended with status " + std::to_string(WEXITSTATUS(status))
                                  : "the password command was stopped by signal " + std::to_string(WTERMSIG(status));
        return std::nullopt;
    }
    if (!output) {
        error = "the password command printed more than a password";
        return std::nullopt;
    }
    std::string line = output->substr(0, output->find('\n'));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) {
        error = "the password command printed no password";
        return std::nullopt;
    }
    return line;
}

std::optional<std::string> LookUpPassword(const SyncConfig& config, std::string& error) {
    if (!config.passwordCommand.empty()) return RunPasswordCommand(config.passwordCommand, error);
    GError* failure = nullptr;
    gchar* found = secret_password_lookup_sync(CalDavSchema(), nullptr, &failure, "folder", config.folder.c_str(),
                                               "url", config.calendarUrl.c_str(), "user", config.user.c_str(), nullptr);
    if (failure != nullptr) {
        error = "cannot read the password from the Secret Service: " + TakeMessage(failure);
        return std::nullopt;
    }
    if (found == nullptr) {
        error = "the Secret Service holds no password for this folder; run velmora-cal sync setup again";
        return std::nullopt;
    }
    std::string password = found;
    secret_password_free(found);
    return password;
}

bool StorePassword(const SyncConfig& config, const std::string& password, std::string& error) {
    GError* failure = nullptr;
    const std::string label = "Velmora CalDAV " + config.user + " " + config.calendarUrl;
    const gboolean stored = secret_password_store_sync(
        CalDavSchema(), SECRET_COLLECTION_DEFAULT, label.c_str(), password.c_str(), nullptr, &failure, "folder",
        config.folder.c_str(), "url", config.calendarUrl.c_str(), "user", config.user.c_str(), nullptr);
    if (failure != nullptr || stored == FALSE) {
        error = "cannot keep the password in the Secret Service: " + TakeMessage(failure);
        return false;
    }
    return true;
}

bool ClearPassword(const SyncConfig& config, std::string& error) {
    GError* failure = nullptr;
    secret_password_clear_sync(CalDavSchema(), nullptr, &failure, "folder", config.folder.c_str(), "url",
                               config.calendarUrl.c_str(), "user", config.user.c_str(), nullptr);
    if (failure != nullptr) {
        error = "cannot remove the password from the Secret Service: " + TakeMessage(failure);
        return false;
    }
    return true;
}

}  // namespace memosync
