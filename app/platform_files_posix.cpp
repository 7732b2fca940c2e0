#include "app/platform.hpp"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include <fcntl.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// The file create_beside made and no one has committed or discarded yet, for the signal
// handler: it is only changed with the fatal signals blocked.
std::string unfinished_name;
volatile std::sig_atomic_t unfinished = 0;

// Every signal whose default action ends the process while the run goes on, as opposed to a
// fault of the program itself (SIGSEGV and its kind), which is left to its default.
constexpr int fatal_signals[] = {
    SIGHUP,    SIGINT,  SIGQUIT, SIGPIPE, SIGALRM,   SIGTERM,
    SIGUSR1,   SIGUSR2, SIGXCPU, SIGPROF, SIGVTALRM,
#ifdef SIGPOLL
    SIGPOLL,
#endif
#ifdef SIGPWR
    SIGPWR,
#endif
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
};

template <typename F> void for_each_fatal_signal(F f) {
    for (const int s : fatal_signals)
        f(s);
#ifdef SIGRTMIN
    for (int s = SIGRTMIN; s <= SIGRTMAX; ++s)
        f(s);
#endif
}

extern "C" void remove_and_die(int signal_number) {
    if (unfinished != 0)
        unlink(unfinished_name.c_str());
    // Ends the way the signal would have ended it, once the handler returns.
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);
}

sigset_t fatal_set() {
    sigset_t set;
    sigemptyset(&set);
    for_each_fatal_signal([&](int s) { sigaddset(&set, s); });
    return set;
}

// Signals held back while the name and the file change together.
struct held_signals {
    sigset_t old;
};

held_signals hold_signals() {
    held_signals held{};
    const sigset_t set = fatal_set();
    sigprocmask(SIG_BLOCK, &set, &held.old);
    return held;
}

void release_signals(const held_signals& held) {
    sigprocmask(SIG_SETMASK, &held.old, nullptr);
}

void catch_fatal_signals() {
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    for_each_fatal_signal([](int s) {
        struct sigaction old {};
        // A signal ignored when the run began stays ignored, as under nohup.
        if (sigaction(s, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) // NOLINT
            return;
        struct sigaction action {};
        action.sa_handler = remove_and_die; // NOLINT
        action.sa_mask = fatal_set();
        sigaction(s, &action, nullptr);
    });
}

// The folder that holds name, with its slash: "" for the current one.
std::string folder_of(const char* name) {
    const std::string path(name);
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

file_identity identity_of(const struct stat& st) {
    file_identity id;
    id.kind = S_ISREG(st.st_mode)                          ? file_identity::regular
              : S_ISDIR(st.st_mode)                        ? file_identity::directory
              : S_ISFIFO(st.st_mode)                       ? file_identity::fifo
              : S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) ? file_identity::device
                                                           : file_identity::other;
    id.volume = static_cast<std::uint64_t>(st.st_dev);
    id.index = static_cast<std::uint64_t>(st.st_ino);
    return id;
}

bool starts_with(const std::string& text, const char* start) {
    return text.rfind(start, 0) == 0;
}

// Whether folder is the system's own, where a link stands for a device or a descriptor.
bool system_folder(const std::string& folder) {
    return folder == "/dev" || folder == "/proc" || starts_with(folder, "/dev/") ||
           starts_with(folder, "/proc/");
}

// The descriptor that base names in folder (a real path), or -1: /dev/stdout and its kind,
// and a number in this process's own descriptor folder.
int descriptor_named(const std::string& folder, const std::string& base) {
    static constexpr const char* standard[] = {"stdin", "stdout", "stderr"};
    if (folder == "/dev")
        for (int fd = 0; fd < 3; ++fd)
            if (base == standard[fd])
                return fd;
    const std::string own = "/proc/" + std::to_string(getpid()) + "/";
    const bool fd_folder =
        folder == "/dev/fd" || (starts_with(folder, own.c_str()) && folder.size() >= 3 &&
                                folder.compare(folder.size() - 3, 3, "/fd") == 0);
    if (!fd_folder || base.empty() || base.size() > 9 ||
        base.find_first_not_of("0123456789") != std::string::npos)
        return -1;
    return std::atoi(base.c_str());
}

// Where name's links lead, one link at a time: realpath would go on through a descriptor's
// link to whatever file it has open, which is not what a later open of the name gets.
struct link_trail {
    int descriptor = -1;      // the descriptor the name stands for
    bool into_system = false; // a link on the way is in /dev or /proc, or leads there
};

link_trail follow_links(const char* name) {
    link_trail trail;
    std::string path = name;
    for (int hop = 0; hop < 40; ++hop) { // as many as the system itself follows
        const std::size_t slash = path.rfind('/');
        const std::string folder_name = slash == std::string::npos ? "."
                                        : slash == 0               ? "/"
                                                                   : path.substr(0, slash);
        const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
        char* real = realpath(folder_name.c_str(), nullptr);
        if (real == nullptr)
            break;
        const std::string folder = real;
        std::free(real); // NOLINT(cppcoreguidelines-no-malloc): realpath's own allocation
        trail.descriptor = descriptor_named(folder, base);
        if (trail.descriptor >= 0)
            return trail;
        std::string target(4096, '\0');
        const ssize_t size = readlink(path.c_str(), target.data(), target.size());
        // Reached by a link, or a link itself, here.
        if (system_folder(folder) && (hop > 0 || size >= 0))
            trail.into_system = true;
        if (size <= 0)
            break;
        target.resize(static_cast<std::size_t>(size));
        if (target.front() != '/')
            target.insert(0, folder + "/");
        path = std::move(target);
    }
    return trail;
}

// A stream that writes to fd and owns it; on failure fd is closed, errno kept.
std::FILE* stream_of(int fd) {
    std::FILE* file = fdopen(fd, "wb");
    if (file == nullptr) {
        const int error = errno;
        close(fd);
        errno = error;
    }
    return file;
}

} // namespace

void guard_standard_streams() {
    // Opened against the grain, the stand-in fails every use just as a closed one would.
    for (int fd = 0; fd <= 2; ++fd)
        if (fcntl(fd, F_GETFD) == -1 && errno == EBADF)
            open("/dev/null", fd == STDIN_FILENO ? O_WRONLY : O_RDONLY);
    std::signal(SIGXFSZ, SIG_IGN);
}

int open_failure(const char*, int error) {
    return error;
}

int write_failure(std::FILE*, int error) {
    return error;
}

file_identity identify(std::FILE* file) {
    struct stat st {};
    return fstat(fileno(file), &st) == 0 ? identity_of(st) : file_identity{};
}

file_identity identify(const char* name) {
    struct stat st {};
    return stat(name, &st) == 0 ? identity_of(st) : file_identity{};
}

file_kind kind_of(const char* name) {
    struct stat st {};
    if (lstat(name, &st) != 0)
        return file_kind::absent;
    if (S_ISDIR(st.st_mode))
        return file_kind::directory;
    // Put a file in place of /dev/stdout, or a link to it, and the system has lost it.
    if (S_ISLNK(st.st_mode))
        return follow_links(name).into_system ? file_kind::special : file_kind::regular;
    return S_ISREG(st.st_mode) ? file_kind::regular : file_kind::special;
}

int named_descriptor(const char* name) {
    return follow_links(name).descriptor;
}

std::FILE* open_descriptor(int descriptor) {
    // As a write to it would fail, rather than fdopen's EINVAL.
    const int flags = fcntl(descriptor, F_GETFL);
    if (flags >= 0 && (flags & O_ACCMODE) == O_RDONLY)
        errno = EBADF;
    if (flags < 0 || (flags & O_ACCMODE) == O_RDONLY)
        return nullptr;
    const int fd = fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
    if (fd < 0)
        return nullptr;
    return stream_of(fd);
}

std::FILE* open_file(const char* name, const char* mode) {
    return std::fopen(name, mode);
}

std::FILE* open_unemptied(const char* name) {
    const int fd = open(name, O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        return nullptr;
    return stream_of(fd);
}

bool empty_file(std::FILE* file) {
    struct stat st {};
    const int fd = fileno(file);
    if (fstat(fd, &st) != 0)
        return false;
    return !S_ISREG(st.st_mode) || ftruncate(fd, 0) == 0;
}

void remove_created(const char* name) {
    char* real = realpath(name, nullptr);
    if (real != nullptr)
        unlink(real);
    std::free(real); // NOLINT(cppcoreguidelines-no-malloc): realpath's own allocation
}

int refuses_replacement(const char* name) {
    struct stat st {};
    // A link is replaced, not written through: what it leads to is not at stake.
    if (lstat(name, &st) != 0 || !S_ISREG(st.st_mode))
        return 0;
    // Even where the process could write it anyway, as root can, as an editor refuses.
    if ((st.st_mode & S_IWUSR) == 0)
        return EACCES;
    return access(name, W_OK) != 0 && errno == EACCES ? EACCES : 0;
}

std::FILE* create_beside(const char* name, std::string& temp_name) {
    catch_fatal_signals();
    std::string pattern = folder_of(name) + "tmp.XXXXXX";
    const held_signals held = hold_signals();
    const int fd = mkstemp(pattern.data());
    if (fd >= 0) {
        unfinished_name = pattern;
        unfinished = 1;
    }
    release_signals(held);
    if (fd < 0)
        return nullptr;
    temp_name = pattern;

    // mkstemp makes the file private; it takes the old file's place, so it gets the old file's
    // permissions, and its owner where the system lets us (as sed -i does).
    struct stat old {};
    bool ready = false;
    if (stat(name, &old) == 0 && S_ISREG(old.st_mode)) {
        if (fchown(fd, old.st_uid, old.st_gid) != 0)
            (void)!fchown(fd, static_cast<uid_t>(-1), old.st_gid);
        ready = fchmod(fd, old.st_mode & 07777) == 0;
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        ready = fchmod(fd, 0666 & ~mask) == 0;
    }
    std::FILE* file = ready ? fdopen(fd, "wb") : nullptr;
    if (file == nullptr) {
        const int error = errno;
        close(fd);
        discard_beside(nullptr, temp_name);
        errno = error;
    }
    return file;
}

close_failure commit_beside(std::FILE* temp, const std::string& temp_name, const char* name) {
    bool owner_only = false;
    // On the disk before it takes the old file's place: after a crash, name is one of the
    // two, never an empty file.
    bool done = std::fflush(temp) == 0 && fsync(fileno(temp)) == 0;
    int error = errno;
    if (std::fclose(temp) != 0 && done) {
        done = false;
        error = errno;
    }
    if (done) {
        const held_signals held = hold_signals();
        done = std::rename(temp_name.c_str(), name) == 0;
        error = errno;
        if (done)
            unfinished = 0;
        release_signals(held);
    }
    const std::string folder = folder_of(name);
    const char* folder_name = folder.empty() ? "." : folder.c_str();
    if (!done && error == EPERM) {
        struct stat st {};
        owner_only = stat(folder_name, &st) == 0 && (st.st_mode & S_ISVTX) != 0;
    }
    if (done) {
        // The rename lives in the folder, which goes to the disk on its own schedule.
        const int dir = open(folder_name, O_RDONLY | O_CLOEXEC);
        if (dir >= 0) {
            fsync(dir);
            close(dir);
        }
    }
    return {done ? 0 : (error != 0 ? error : EIO), owner_only};
}

void discard_beside(std::FILE* temp, const std::string& temp_name) {
    if (temp != nullptr)
        std::fclose(temp);
    const held_signals held = hold_signals();
    unlink(temp_name.c_str());
    unfinished = 0;
    release_signals(held);
}
