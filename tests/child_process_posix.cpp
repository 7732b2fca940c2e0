#include "child_process.hpp"

#include <csignal>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// A hang fails the row instead of blocking the run.
constexpr unsigned time_limit = 60;

} // namespace

int run_child(const child_setup& setup) {
    const pid_t pid = fork();
    if (pid == 0) {
        alarm(time_limit);
        if (setup.file_limit != 0) { // a full disk: writes past the limit fail
            const rlimit limit{setup.file_limit, setup.file_limit};
            setrlimit(RLIMIT_FSIZE, &limit);
            signal(SIGXFSZ, SIG_IGN);
        }
        if (chdir(setup.dir.c_str()) != 0)
            _exit(126);
        const auto put = [](int fd, int target) {
            if (fd != target) {
                dup2(fd, target);
                close(fd);
            }
        };
        put(setup.stdout_full ? open("/dev/full", O_WRONLY)
                              : open("stdout", O_WRONLY | O_CREAT | O_TRUNC, 0600),
            1);
        put(open("stderr", O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
        // Last, so that no file opened here lands on a closed descriptor 0.
        if (setup.stdin_closed)
            close(0);
        else
            put(open("stdin", O_RDONLY), 0);
        const std::string name = setup.exe.filename().string();
        std::vector<char*> argv = {const_cast<char*>(name.c_str())};
        for (const auto& arg : setup.args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execv(setup.exe.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

const char* cannot_set_up(bool, bool, bool, const child_setup&) {
    return "";
}

void make_fifo(const std::filesystem::path& path) {
    mkfifo(path.c_str(), 0600);
}

int start_feeder(const std::filesystem::path& path, const std::string& content) {
    const pid_t pid = fork();
    if (pid == 0) {
        alarm(time_limit);
        const int fd = open(path.c_str(), O_WRONLY);
        const bool whole = fd >= 0 && write(fd, content.data(), content.size()) ==
                                          static_cast<ssize_t>(content.size());
        _exit(whole ? 0 : 1);
    }
    return pid;
}

bool wait_for_feeder(int feeder) {
    int status = 0;
    return waitpid(feeder, &status, 0) == feeder && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
