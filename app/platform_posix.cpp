#include "app/platform.hpp"

#include <cerrno>
#include <clocale>
#include <cstdio>

#include <fcntl.h>
#include <iconv.h>
#include <langinfo.h>

#include <sys/stat.h>
#include <unistd.h>

int open_failure(const char*, int error) {
    return error;
}

void guard_standard_streams() {
    // Opened against the grain, the stand-in fails every use just as a closed one would.
    for (int fd = 0; fd <= 2; ++fd)
        if (fcntl(fd, F_GETFD) == -1 && errno == EBADF)
            open("/dev/null", fd == STDIN_FILENO ? O_WRONLY : O_RDONLY);
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

bool is_directory(std::FILE* file) {
    struct stat st {};
    return fstat(fileno(file), &st) == 0 && S_ISDIR(st.st_mode);
}

std::FILE* create_beside(const char* name, std::string& temp_name) {
    temp_name = std::string(name) + ".XXXXXX";
    const int fd = mkstemp(temp_name.data());
    if (fd < 0)
        return nullptr;
    // mkstemp makes the file private; the new file gets what a plain create would give it.
    const mode_t mask = umask(0);
    umask(mask);
    std::FILE* file = fchmod(fd, 0666 & ~mask) == 0 ? fdopen(fd, "wb") : nullptr;
    if (file == nullptr) {
        const int error = errno;
        close(fd);
        unlink(temp_name.c_str());
        errno = error;
    }
    return file;
}

bool replace_file(const char* temp_name, const char* name) {
    return std::rename(temp_name, name) == 0;
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
