#include "app/platform.hpp"

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdio>

#include <fcntl.h>
#include <iconv.h>
#include <langinfo.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// The file create_beside made and no one has committed or discarded yet, for the signal
// handler: it is only changed with the signals below blocked.
std::string unfinished_name;
volatile std::sig_atomic_t unfinished = 0;

// The signals that end a run and would leave the new file behind, as sort's list has them.
constexpr int fatal_signals[] = {SIGHUP, SIGINT, SIGQUIT, SIGPIPE, SIGALRM, SIGTERM, SIGXCPU};

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
    for (const int s : fatal_signals)
        sigaddset(&set, s);
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
    for (const int s : fatal_signals) {
        struct sigaction old {};
        // A signal ignored when the run began stays ignored, as under nohup.
        if (sigaction(s, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) // NOLINT
            continue;
        struct sigaction action {};
        action.sa_handler = remove_and_die; // NOLINT
        action.sa_mask = fatal_set();
        sigaction(s, &action, nullptr);
    }
}

// The folder that holds name, for making a rename in it durable.
std::string folder_of(const char* name) {
    const std::string path(name);
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

int open_failure(const char*, int error) {
    return error;
}

int write_failure(int error) {
    return error;
}

void guard_standard_streams() {
    // Opened against the grain, the stand-in fails every use just as a closed one would.
    for (int fd = 0; fd <= 2; ++fd)
        if (fcntl(fd, F_GETFD) == -1 && errno == EBADF)
            open("/dev/null", fd == STDIN_FILENO ? O_WRONLY : O_RDONLY);
    std::signal(SIGXFSZ, SIG_IGN);
}

std::FILE* open_unemptied(const char* name) {
    const int fd = open(name, O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        return nullptr;
    std::FILE* file = fdopen(fd, "wb");
    if (file == nullptr) {
        const int error = errno;
        close(fd);
        errno = error;
    }
    return file;
}

bool empty_file(std::FILE* file) {
    struct stat st {};
    const int fd = fileno(file);
    if (fstat(fd, &st) != 0)
        return false;
    return !S_ISREG(st.st_mode) || ftruncate(fd, 0) == 0;
}

bool same_file(std::FILE* a, std::FILE* b) {
    struct stat sa {};
    struct stat sb {};
    return fstat(fileno(a), &sa) == 0 && fstat(fileno(b), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

bool same_file(std::FILE* file, const char* name) {
    struct stat sf {};
    struct stat sn {};
    return fstat(fileno(file), &sf) == 0 && stat(name, &sn) == 0 && sf.st_dev == sn.st_dev &&
           sf.st_ino == sn.st_ino;
}

bool same_file(const char* a, const char* b) {
    struct stat sa {};
    struct stat sb {};
    return stat(a, &sa) == 0 && stat(b, &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

file_kind kind_of(const char* name) {
    struct stat st {};
    if (lstat(name, &st) != 0)
        return file_kind::absent;
    if (S_ISDIR(st.st_mode))
        return file_kind::directory;
    return S_ISREG(st.st_mode) || S_ISLNK(st.st_mode) ? file_kind::regular : file_kind::special;
}

bool is_directory(std::FILE* file) {
    struct stat st {};
    return fstat(fileno(file), &st) == 0 && S_ISDIR(st.st_mode);
}

std::FILE* create_beside(const char* name, std::string& temp_name) {
    catch_fatal_signals();
    std::string pattern = std::string(name) + ".XXXXXX";
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

bool commit_beside(std::FILE* temp, const std::string& temp_name, const char* name) {
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
    if (done) {
        // The rename lives in the folder, which goes to the disk on its own schedule.
        const int folder = open(folder_of(name).c_str(), O_RDONLY | O_CLOEXEC);
        if (folder >= 0) {
            fsync(folder);
            close(folder);
        }
    }
    errno = error;
    return done;
}

void discard_beside(std::FILE* temp, const std::string& temp_name) {
    if (temp != nullptr)
        std::fclose(temp);
    const held_signals held = hold_signals();
    unlink(temp_name.c_str());
    unfinished = 0;
    release_signals(held);
}

void discard_unfinished() {
    if (unfinished != 0)
        discard_beside(nullptr, unfinished_name);
}

std::string key_in_windows_1251(const std::string& line) {
    std::setlocale(LC_CTYPE, "");
    const bool plain_ascii = std::all_of(
        line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (plain_ascii)
        return line;
    const iconv_t convert = iconv_open("WINDOWS-1251", nl_langinfo(CODESET));
    if (convert == reinterpret_cast<iconv_t>(-1)) // NOLINT(performance-no-int-to-ptr)
        return line;
    std::string in = line;
    std::string out(line.size(), '\0'); // no character grows on its way to one byte
    char* from = in.data();
    char* to = out.data();
    std::size_t in_left = in.size();
    std::size_t out_left = out.size();
    // Invalid text and a character Windows-1251 lacks both stop the conversion short.
    const bool whole =
        iconv(convert, &from, &in_left, &to, &out_left) != static_cast<std::size_t>(-1) &&
        in_left == 0;
    iconv_close(convert);
    if (!whole)
        return line;
    out.resize(out.size() - out_left);
    return out;
}

std::string key_from_argument(const char* argument) {
    return key_in_windows_1251(argument);
}

char** command_line_arguments(int, char** argv) {
    return argv;
}

std::FILE* open_file(const char* name, const char* mode) {
    return std::fopen(name, mode);
}

void remove_file(const char* name) {
    unlink(name);
}

bool read_console_key(std::string&) {
    return false; // a terminal here sends bytes in the locale's character set
}

std::string console_text(const std::uint8_t* text, std::size_t size) {
    std::setlocale(LC_CTYPE, "");
    const iconv_t convert = iconv_open(nl_langinfo(CODESET), "WINDOWS-1251");
    // iconv_open's failure value, as iconv.h defines it.
    const auto failed = reinterpret_cast<iconv_t>(-1); // NOLINT(performance-no-int-to-ptr)
    std::string shown;
    for (std::size_t i = 0; i < size; ++i) {
        // One character at a time, so that one the locale lacks costs only itself.
        char in = static_cast<char>(text[i]);
        char out[8];
        char* from = &in;
        char* to = out;
        std::size_t in_left = 1;
        std::size_t out_left = sizeof out;
        if (convert != failed &&
            iconv(convert, &from, &in_left, &to, &out_left) != static_cast<std::size_t>(-1))
            shown.append(out, sizeof out - out_left);
        else
            shown += '?';
    }
    if (convert != failed)
        iconv_close(convert);
    return shown;
}
