#include "tests/cal/cal_run.h"

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

std::string Bytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

CalRun RunCal(const std::filesystem::path& folder, const std::string& environment, const std::string& arguments,
              const std::filesystem::path& scratch, const std::string& user, const std::filesystem::path& program) {
    const std::string out = (scratch / "out").string();
    const std::string err = (scratch / "err").string();
    const std::string as =
        user.empty() ? "" : "setpriv --reuid=" + user + " --regid=$(id -g " + user + ") --init-groups --reset-env ";
    const std::string command = "cd '" + folder.string() + "' && " + as + "env " + environment + " '" +
                                (program.empty() ? std::string(VELMORA_CAL) : program.string()) + "' " + arguments +
                                " >'" + out + "' 2>'" + err + "' </dev/null";
    const int raw = std::system(command.c_str());
    CalRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = Bytes(out);
    run.err = Bytes(err);
    return run;
}
