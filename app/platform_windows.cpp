#include "app/platform.hpp"

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

namespace {

HANDLE handle_of(std::FILE* file) {
    return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file))); // NOLINT
}

} // namespace

int open_failure(const char* name, int error) {
    const DWORD attributes = GetFileAttributesA(name);
    const bool directory =
        attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return error == EACCES && directory ? EISDIR : error;
}

void guard_standard_streams() {
    for (int fd = 0; fd <= 2; ++fd)
        if (_get_osfhandle(fd) == -1)
            _open("NUL", fd == 0 ? _O_WRONLY : _O_RDONLY);
    // Bytes in and out as they are: no CR added to a line break, none taken from the key.
    _setmode(0, _O_BINARY);
    _setmode(1, _O_BINARY);
}

std::FILE* open_unemptied(const char* name) {
    const int fd =
        _open(name, _O_WRONLY | _O_CREAT | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
    if (fd < 0)
        return nullptr;
    std::FILE* file = _fdopen(fd, "wb");
    if (file == nullptr) {
        const int error = errno;
        _close(fd);
        errno = error;
    }
    return file;
}

bool empty_file(std::FILE* file) {
    if (GetFileType(handle_of(file)) != FILE_TYPE_DISK)
        return true;
    const errno_t error = _chsize_s(_fileno(file), 0);
    errno = error;
    return error == 0;
}

bool same_file(std::FILE* a, std::FILE* b) {
    BY_HANDLE_FILE_INFORMATION ia{};
    BY_HANDLE_FILE_INFORMATION ib{};
    return GetFileInformationByHandle(handle_of(a), &ia) != 0 &&
           GetFileInformationByHandle(handle_of(b), &ib) != 0 &&
           ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
           ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

bool is_directory(std::FILE* file) {
    struct _stat64 st {};
    return _fstat64(_fileno(file), &st) == 0 && (st.st_mode & _S_IFDIR) != 0;
}

std::FILE* create_beside(const char* name, std::string& temp_name) {
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        temp_name = std::string(name) + "." + std::to_string(GetCurrentProcessId()) + "-" +
                    std::to_string(attempt);
        const int fd =
            _open(temp_name.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                  _S_IREAD | _S_IWRITE);
        if (fd >= 0) {
            std::FILE* file = _fdopen(fd, "wb");
            if (file == nullptr) {
                _close(fd);
                _unlink(temp_name.c_str());
            }
            return file;
        }
        if (errno != EEXIST)
            return nullptr;
    }
    return nullptr;
}

bool replace_file(const char* temp_name, const char* name) {
    if (MoveFileExA(temp_name, name, MOVEFILE_REPLACE_EXISTING) != 0)
        return true;
    errno = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
    return false;
}

std::string console_text(const std::uint8_t* text, std::size_t size) {
    // The console's own code page; out of a console, the system's.
    UINT page = GetConsoleOutputCP();
    if (page == 0)
        page = GetACP();
    std::string shown;
    for (std::size_t i = 0; i < size; ++i) {
        wchar_t wide = 0;
        char out[8];
        BOOL lossy = FALSE;
        const auto in = static_cast<char>(text[i]);
        const int length = MultiByteToWideChar(1251, 0, &in, 1, &wide, 1) == 1
                               ? WideCharToMultiByte(page, 0, &wide, 1, out, sizeof out, nullptr,
                                                     page == CP_UTF8 ? nullptr : &lossy)
                               : 0;
        if (length > 0 && lossy == FALSE)
            shown.append(out, static_cast<std::size_t>(length));
        else
            shown += '?';
    }
    return shown;
}
