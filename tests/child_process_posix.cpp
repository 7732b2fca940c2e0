#include "child_process.hpp"

#include <clocale>
#include <csignal>
#include <fstream>
#include <iterator>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// A hang fails the row instead of blocking the run.
constexpr unsigned time_limit = 60;

// Waits until the tool has made its file, as large as asked, then sends the signal; under
// valgrind on a busy machine that may take many seconds, so as long as the child may run.
void signal_when_ready(pid_t pid, const child_setup& setup) {
    for (unsigned tries = 0; tries < time_limit * 200; ++tries) {
        for (const auto& entry : std::filesystem::directory_iterator(setup.dir))
            if (entry.path().filename().string().rfind(setup.signal_when, 0) == 0 &&
                entry.file_size() >= setup.signal_size) {
                kill(pid, setup.signal);
                return;
            }
        usleep(5000);
    }
}

} // namespace

long other_user() {
    return geteuid() == 0 ? 65534 : -1;
}

void give_to_other_user(const std::filesystem::path& path) {
    if (other_user() >= 0)
        lchown(path.c_str(), static_cast<uid_t>(other_user()), static_cast<gid_t>(other_user()));
}

long owner_of(const std::filesystem::path& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? static_cast<long>(st.st_uid) : -1;
}

int run_child(const child_setup& setup) {
    namespace fs = std::filesystem;
    // The build folder may be one only its owner reaches (a checkout under /root): another
    // user runs a copy, beside the working folder.
    fs::path exe = setup.exe;
    const fs::path copy_folder = setup.dir.string() + ".tool";
    if (setup.as_other_user && other_user() >= 0) {
        fs::create_directory(copy_folder);
        exe = copy_folder / setup.exe.filename();
        fs::copy_file(setup.exe, exe, fs::copy_options::overwrite_existing);
        for (const fs::path& p : {copy_folder, exe})
            fs::permissions(p, fs::perms::owner_all | fs::perms::group_read |
                                   fs::perms::group_exec | fs::perms::others_read |
                                   fs::perms::others_exec);
    }
    int key_pipe[2] = {-1, -1};
    const bool piped = setup.signal != 0 || setup.stdin_held != 0;
    if (piped && pipe(key_pipe) != 0)
        return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        alarm(time_limit);
        // The tool itself must turn a file-size limit into an error: SIGXFSZ is left as is.
        if (setup.file_limit != 0) {
            const rlimit limit{setup.file_limit, setup.file_limit};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        if (setup.memory_limit != 0) {
            const rlimit limit{setup.memory_limit, setup.memory_limit};
            setrlimit(RLIMIT_AS, &limit);
        }
        // A signal ignored by whoever started the tests (nohup) would stay ignored in the tool.
        if (setup.signal != 0)
            std::signal(setup.signal, SIG_DFL);
        if (setup.locale != nullptr)
            setenv("LC_ALL", setup.locale, 1);
        unsetenv("LANGUAGE"); // the test's own would reach every row
        if (!setup.language.empty())
            for (const char* name : {"LC_ALL", "LC_MESSAGES", "LC_CTYPE", "LANG"})
                unsetenv(name);
        for (const std::string& variable : setup.language)
            putenv(const_cast<char*>(variable.c_str())); // NOLINT: the child's own copy
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
        else if (piped)
            put(key_pipe[0], 0);
        else
            put(open(setup.stdin_path.empty() ? "stdin" : setup.stdin_path.c_str(), O_RDONLY), 0);
        if (key_pipe[1] >= 0)
            close(key_pipe[1]);
        if (setup.as_other_user && other_user() >= 0 &&
            (setgid(static_cast<gid_t>(other_user())) != 0 ||
             setuid(static_cast<uid_t>(other_user())) != 0))
            _exit(126);
        const std::string name = setup.exe.filename().string();
        std::vector<char*> argv = {const_cast<char*>(name.c_str())};
        for (const auto& arg : setup.args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execv(exe.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    bool ended = false;
    if (piped) {
        close(key_pipe[0]);
        std::ifstream given(setup.dir / "stdin", std::ios::binary);
        const std::string input((std::istreambuf_iterator<char>(given)),
                                std::istreambuf_iterator<char>());
        // A child that ends early leaves the rest unread, and must not end this process.
        struct sigaction old {};
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN; // NOLINT
        sigaction(SIGPIPE, &ignore, &old);
        const bool whole =
            write(key_pipe[1], input.data(), input.size()) == static_cast<ssize_t>(input.size());
        sigaction(SIGPIPE, &old, nullptr);
        if (setup.signal != 0) {
            if (!whole)
                kill(pid, SIGKILL);
            signal_when_ready(pid, setup);
        } else {
            for (unsigned waited = 0; !ended && waited <= setup.stdin_held * 100; ++waited) {
                ended = waitpid(pid, &status, WNOHANG) == pid;
                if (!ended)
                    usleep(10000);
            }
            if (!ended) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                close(key_pipe[1]);
                fs::remove_all(copy_folder);
                return -1;
            }
        }
        close(key_pipe[1]);
    }
    const bool waited = ended || waitpid(pid, &status, 0) == pid;
    fs::remove_all(copy_folder);
    if (!waited)
        return -1;
    if (WIFSIGNALED(status))
        return WTERMSIG(status) == SIGALRM ? -1 : 128 + WTERMSIG(status);
    return WEXITSTATUS(status);
}

const char* cannot_set_up(bool, bool, bool, const child_setup& setup) {
    if (setup.locale == nullptr)
        return "";
    const locale_t named = newlocale(LC_CTYPE_MASK, setup.locale, nullptr);
    if (named == nullptr)
        return "the locale it names is not installed";
    freelocale(named);
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

int start_drainer(const std::filesystem::path& path, const std::filesystem::path& to) {
    const pid_t pid = fork();
    if (pid == 0) {
        alarm(time_limit);
        const int in = open(path.c_str(), O_RDONLY);
        const int out = open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        char chunk[65536];
        ssize_t got = 0;
        while (in >= 0 && out >= 0 && (got = read(in, chunk, sizeof chunk)) > 0)
            if (write(out, chunk, static_cast<std::size_t>(got)) != got)
                _exit(1);
        _exit(in >= 0 && out >= 0 && got == 0 ? 0 : 1);
    }
    return pid;
}
